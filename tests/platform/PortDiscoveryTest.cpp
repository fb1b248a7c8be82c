// Serial-port discovery against a fake Linux device tree laid out as the kernel lays out sysfs.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/PortDiscovery.h"
#include "tests/platform/FakeDeviceTree.h"

namespace flashdesk::platform {
namespace {

namespace fs = std::filesystem;

// USB adapters with and without strings or a stable name, one beyond the numbers searched, an
// ACM device (its interface is the device) reached through a link, legacy UARTs and a console.
TEST(PortDiscovery, ListsWhatTheKernelKnowsInNaturalOrderAndNumbersItByTheTemplate) {
  testing_support::FakeTree tree;
  const auto ftdi = tree.Usb("1-1", {{"idVendor", "0403"},
                                     {"idProduct", "6001"},
                                     {"manufacturer", "FTDI"},
                                     {"product", "FT232R"},
                                     {"serial", "A10K1234"}});
  tree.Tty("ttyUSB3", ftdi / "1-1:1.0/ttyUSB3", "ftdi_sio");
  fs::create_symlink("../../ttyUSB3", tree.Dev("serial/by-id/usb-FTDI_A10K1234"));
  const auto ch341 = tree.Usb("1-2", {{"idVendor", "1a86"}, {"idProduct", "7523"}});
  tree.Tty("ttyUSB12", ch341 / "1-2:1.0/ttyUSB12", "ch341-uart");
  tree.Tty("ttyUSB2", ch341 / "1-2:1.1/ttyUSB2", "ch341-uart");
  tree.Tty("ttyACM0", tree.Usb("1-4", {{"idVendor", "2341"}, {"idProduct", "0043"}}) / "1-4:1.0",
           "cdc_acm");
  fs::create_symlink("ttyACM0", tree.Dev("ttyUSB7"));
  tree.Tty("ttyS0", tree.root / "sys/devices/pnp0/00:01", "serial", "4");
  tree.Tty("ttyS1", tree.root / "sys/devices/platform/serial8250", "serial8250", "0");
  tree.Tty("tty0", {}, nullptr);

  const std::string dev = tree.Dev("");
  const auto portPath = [&dev](std::int16_t port) { return dev + "ttyUSB" + std::to_string(port); };
  std::vector<std::string> found;  // paths and aliases below dev
  for (const SerialDevice& device : DiscoverSerialPorts(portPath, 10, tree.Roots())) {
    char ids[16] = "";
    if (device.vendorId && device.productId)
      std::snprintf(ids, sizeof ids, " %04x:%04x", *device.vendorId, *device.productId);
    found.push_back(device.path.substr(dev.size()) + " [" + device.driver + "]" + ids + " '" +
                    device.manufacturer + "' '" + device.product + "' '" + device.serialNumber +
                    "'" + (device.portNumber ? " port " + std::to_string(*device.portNumber) : ""));
    for (const std::string& alias : device.aliases)
      found.back() += " " + alias.substr(dev.size());
  }
  EXPECT_EQ(found, (std::vector<std::string>{
                       "ttyACM0 [cdc_acm] 2341:0043 '' '' '' port 7", "ttyS0 [serial] '' '' ''",
                       "ttyUSB2 [ch341-uart] 1a86:7523 '' '' '' port 2",
                       "ttyUSB3 [ftdi_sio] 0403:6001 'FTDI' 'FT232R' 'A10K1234' port 3 "
                       "serial/by-id/usb-FTDI_A10K1234",
                       "ttyUSB12 [ch341-uart] 1a86:7523 '' '' ''"}));
  EXPECT_TRUE(DiscoverSerialPorts(portPath, 10, {"/nonexistent/sys", "/nonexistent/dev"}).empty());
}

}  // namespace
}  // namespace flashdesk::platform
