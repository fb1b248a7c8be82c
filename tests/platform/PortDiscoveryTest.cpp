// Serial-port discovery against fake Linux device trees laid out as the kernel lays out sysfs.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/PortDiscovery.h"
#include "tests/platform/FakeDeviceTree.h"

namespace flashdesk::platform {
namespace {

using testing_support::FakeTree;

std::string Describe(const SerialDevice& device, const FakeTree& tree) {
  const std::string dev = tree.Dev("");
  const auto local = [&dev](const std::string& path) {
    return path.rfind(dev, 0) == 0 ? path.substr(dev.size()) : path;
  };
  char ids[16] = "";
  if (device.vendorId && device.productId)
    std::snprintf(ids, sizeof ids, " %04x:%04x", *device.vendorId, *device.productId);
  std::string text = local(device.path) + " [" + device.driver + "]" + ids + " '" +
                     device.manufacturer + "' '" + device.product + "' '" + device.serialNumber +
                     "'";
  for (const std::string& alias : device.aliases)
    text += " " + local(alias);
  return text + (device.portNumber ? " port " + std::to_string(*device.portNumber) : " uncovered");
}

// USB adapters with and without strings or a stable name, one beyond the numbers searched, an
// ACM device (its interface is the device) reached through a link, legacy UARTs and consoles.
TEST(PortDiscovery, ListsWhatTheKernelKnowsInNaturalOrderAndNumbersItByTheTemplate) {
  FakeTree tree;
  const auto ftdi = tree.Usb("1-1", {{"idVendor", "0403"},
                                     {"idProduct", "6001"},
                                     {"manufacturer", "FTDI"},
                                     {"product", "FT232R USB UART"},
                                     {"serial", "A10K1234"}});
  tree.Tty("ttyUSB3", ftdi / "1-1:1.0/ttyUSB3", "ftdi_sio");
  tree.Link("serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0", "../../ttyUSB3");
  const auto ch341 = tree.Usb("1-2", {{"idVendor", "1a86"}, {"idProduct", "7523"}});
  tree.Tty("ttyUSB12", ch341 / "1-2:1.0/ttyUSB12", "ch341-uart");
  tree.Tty("ttyUSB2", ch341 / "1-2:1.1/ttyUSB2", "ch341-uart");
  tree.Tty("ttyACM0", tree.Usb("1-4", {{"idVendor", "2341"}, {"idProduct", "0043"}}) / "1-4:1.0",
           "cdc_acm");
  tree.Link("ttyUSB7", "ttyACM0");
  tree.Tty("ttyS0", tree.root / "sys/devices/pnp0/00:01", "serial", "4");
  tree.Tty("ttyS1", tree.root / "sys/devices/platform/serial8250", "serial8250", "0");
  tree.Tty("tty0", {}, nullptr);
  tree.Tty("ptmx", {}, nullptr);

  const auto portPath = [&tree](std::int16_t port) {
    return tree.Dev("ttyUSB" + std::to_string(port));
  };
  std::vector<std::string> found;
  for (const SerialDevice& device : DiscoverSerialPorts(portPath, 10, tree.Roots()))
    found.push_back(Describe(device, tree));
  EXPECT_EQ(found,
            (std::vector<std::string>{
                "ttyACM0 [cdc_acm] 2341:0043 '' '' '' port 7", "ttyS0 [serial] '' '' '' uncovered",
                "ttyUSB2 [ch341-uart] 1a86:7523 '' '' '' port 2",
                "ttyUSB3 [ftdi_sio] 0403:6001 'FTDI' 'FT232R USB UART' 'A10K1234' "
                "serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0 port 3",
                "ttyUSB12 [ch341-uart] 1a86:7523 '' '' '' uncovered"}));
  const auto none = [](std::int16_t) { return std::string("/nowhere"); };
  EXPECT_TRUE(DiscoverSerialPorts(none, 10, {"/nonexistent/sys", "/nonexistent/dev"}).empty());
}

}  // namespace
}  // namespace flashdesk::platform
