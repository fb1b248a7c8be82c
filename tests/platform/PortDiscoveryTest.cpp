// Serial-port discovery against fake Linux device trees laid out as the kernel lays out sysfs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/PortDiscovery.h"

namespace flashdesk::platform {
namespace {

namespace fs = std::filesystem;

class FakeTree {
 public:
  FakeTree()
      : root(fs::temp_directory_path() /
             ("flashdesk-tree-" + std::to_string(std::random_device{}()))) {
    fs::create_directories(root / "sys/class/tty");
    fs::create_directories(root / "dev/serial/by-id");
  }
  ~FakeTree() { fs::remove_all(root); }

  DiscoveryRoots Roots() const { return {(root / "sys").string(), (root / "dev").string()}; }
  std::string Dev(const std::string& name) const { return (root / "dev" / name).string(); }

  // A USB device under sys/devices with the given attribute files.
  fs::path Usb(const std::string& at,
               std::initializer_list<std::pair<const char*, const char*>> attributes) {
    const fs::path dir = root / "sys/devices/pci0000:00/usb1" / at;
    fs::create_directories(dir);
    for (const auto& [name, value] : attributes)
      std::ofstream(dir / name) << value << "\n";
    return dir;
  }

  // A tty class entry whose device link leads to device (none: no link), bound to driver.
  void Tty(const std::string& name, const fs::path& device, const char* driver,
           const char* uartType = nullptr) {
    const fs::path entry = root / "sys/class/tty" / name;
    fs::create_directories(entry);
    if (uartType)
      std::ofstream(entry / "type") << uartType << "\n";
    std::ofstream(root / "dev" / name) << "";
    if (device.empty())
      return;
    fs::create_directories(device);
    fs::create_directory_symlink(device, entry / "device");
    if (driver) {
      const fs::path driverDir = root / "sys/bus/drivers" / driver;
      fs::create_directories(driverDir);
      fs::create_directory_symlink(driverDir, device / "driver");
    }
  }

  void Link(const std::string& name, const std::string& target) {
    fs::create_symlink(target, root / "dev" / name);
  }

  const fs::path root;
};

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

TEST(PortDiscovery, ListsWhatTheKernelKnowsAndNumbersItByThePortPaths) {
  FakeTree tree;
  // USB adapters with and without strings and stable names, one beyond the numbers searched.
  const fs::path ftdi = tree.Usb("1-1", {{"idVendor", "0403"},
                                         {"idProduct", "6001"},
                                         {"manufacturer", "FTDI"},
                                         {"product", "FT232R USB UART"},
                                         {"serial", "A10K1234"}});
  tree.Tty("ttyUSB3", ftdi / "1-1:1.0/ttyUSB3", "ftdi_sio");
  tree.Link("serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0", "../../ttyUSB3");
  const fs::path ch341 = tree.Usb("1-2", {{"idVendor", "1a86"}, {"idProduct", "7523"}});
  tree.Tty("ttyUSB12", ch341 / "1-2:1.0/ttyUSB12", "ch341-uart");
  tree.Tty("ttyUSB2", ch341 / "1-2:1.1/ttyUSB2", "ch341-uart");
  // An ACM device, whose interface is the device, reached through a link.
  const fs::path acm = tree.Usb("1-4", {{"idVendor", "2341"}, {"idProduct", "0043"}});
  tree.Tty("ttyACM0", acm / "1-4:1.0", "cdc_acm");
  tree.Link("bus7", "ttyACM0");
  // Legacy ports: only a UART of known type; no consoles.
  tree.Tty("ttyS0", tree.root / "sys/devices/pnp0/00:01", "serial", "4");
  tree.Tty("ttyS1", tree.root / "sys/devices/platform/serial8250", "serial8250", "0");
  tree.Tty("tty0", {}, nullptr);
  tree.Tty("ptmx", {}, nullptr);

  const auto portPath = [&tree](std::int16_t port) {
    return tree.Dev(port == 7 ? "bus7" : "ttyUSB" + std::to_string(port));
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
