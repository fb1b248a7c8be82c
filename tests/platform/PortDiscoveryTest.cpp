// Serial-port discovery against fake Linux device trees laid out as the kernel lays out sysfs.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/PortDiscovery.h"
#include "platform/PortTemplate.h"
#include "tests/platform/FakeDeviceTree.h"

namespace flashdesk::platform {
namespace {

namespace fs = std::filesystem;
using testing_support::FakeTree;

std::string Describe(const SerialDevice& device, const FakeTree& tree) {
  const auto local = [&tree](std::string path) {
    const std::string prefix = (tree.root / "dev/").string();
    return path.rfind(prefix, 0) == 0 ? path.substr(prefix.size()) : path;
  };
  std::string text = local(device.path) + " [" + device.driver + "]";
  char ids[16];
  if (device.vendorId && device.productId) {
    std::snprintf(ids, sizeof ids, " %04x:%04x", *device.vendorId, *device.productId);
    text += ids;
  }
  text += " '" + device.manufacturer + "' '" + device.product + "' '" + device.serialNumber + "'";
  for (const std::string& alias : device.aliases)
    text += " " + local(alias);
  return text + (device.portNumber ? " port " + std::to_string(*device.portNumber) : " uncovered");
}

TEST(PortDiscovery, ListsWhatTheKernelKnowsAndNumbersItByTheTemplate) {
  struct Case {
    const char* scenario;
    const char* portTemplate;  // relative to the fake /dev
    std::function<void(FakeTree&)> build;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"USB adapter with strings, with and without a stable name",
       "ttyUSB%i",
       [](FakeTree& tree) {
         const fs::path usb = tree.Usb("1-1", {{"idVendor", "0403"},
                                               {"idProduct", "6001"},
                                               {"manufacturer", "FTDI"},
                                               {"product", "FT232R USB UART"},
                                               {"serial", "A10K1234"}});
         tree.Tty("ttyUSB3", usb / "1-1:1.0/ttyUSB3", "ftdi_sio");
         tree.Link("serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0", "../../ttyUSB3");
       },
       {"ttyUSB3 [ftdi_sio] 0403:6001 'FTDI' 'FT232R USB UART' 'A10K1234' "
        "serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0 port 3"}},
      {"USB adapter without strings, beyond the numbers searched, sorted by value",
       "ttyUSB%i",
       [](FakeTree& tree) {
         const fs::path usb = tree.Usb("1-2", {{"idVendor", "1a86"}, {"idProduct", "7523"}});
         tree.Tty("ttyUSB12", usb / "1-2:1.0/ttyUSB12", "ch341-uart");
         tree.Tty("ttyUSB2", usb / "1-2:1.1/ttyUSB2", "ch341-uart");
       },
       {"ttyUSB2 [ch341-uart] 1a86:7523 '' '' '' port 2",
        "ttyUSB12 [ch341-uart] 1a86:7523 '' '' '' uncovered"}},
      {"ACM device: the interface is the device, the template misses it",
       "ttyUSB%i",
       [](FakeTree& tree) {
         const fs::path usb =
             tree.Usb("1-4", {{"idVendor", "2341"}, {"idProduct", "0043"}, {"product", "Uno"}});
         tree.Tty("ttyACM0", usb / "1-4:1.0", "cdc_acm");
       },
       {"ttyACM0 [cdc_acm] 2341:0043 '' 'Uno' '' uncovered"}},
      {"ACM device reached through a template of links",
       "bus%i",
       [](FakeTree& tree) {
         const fs::path usb = tree.Usb("1-4", {{"idVendor", "2341"}, {"idProduct", "0043"}});
         tree.Tty("ttyACM0", usb / "1-4:1.0", "cdc_acm");
         tree.Link("bus7", "ttyACM0");
       },
       {"ttyACM0 [cdc_acm] 2341:0043 '' '' '' port 7"}},
      {"legacy ports: only a UART of known type, no consoles",
       "ttyS%i",
       [](FakeTree& tree) {
         tree.Tty("ttyS0", tree.root / "sys/devices/pnp0/00:01", "serial", "4");
         tree.Tty("ttyS1", tree.root / "sys/devices/platform/serial8250", "serial8250", "0");
         tree.Tty("tty0", {}, nullptr);
         tree.Tty("ptmx", {}, nullptr);
       },
       {"ttyS0 [serial] '' '' '' port 0"}},
      {"nothing at all", "ttyUSB%i", [](FakeTree&) {}, {}},
  };
  for (const Case& c : cases) {
    FakeTree tree;
    c.build(tree);
    const std::string portTemplate = tree.Dev(c.portTemplate);
    const auto portPath = [&portTemplate](std::int16_t port) {
      return *ExpandPortTemplate(portTemplate, port);
    };
    std::vector<std::string> found;
    for (const SerialDevice& device : DiscoverSerialPorts(portPath, 10, tree.Roots()))
      found.push_back(Describe(device, tree));
    EXPECT_EQ(found, c.expected) << c.scenario;
  }
  const auto none = [](std::int16_t) { return std::string("/nowhere"); };
  EXPECT_TRUE(DiscoverSerialPorts(none, 10, {"/nonexistent/sys", "/nonexistent/dev"}).empty());
}

}  // namespace
}  // namespace flashdesk::platform
