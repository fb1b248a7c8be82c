#pragma once

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>

#include "platform/PortDiscovery.h"

namespace flashdesk::testing_support {

// A fake Linux device tree (sys and dev) laid out as the kernel lays out sysfs.
class FakeTree {
 public:
  FakeTree()
      : root(std::filesystem::temp_directory_path() /
             ("flashdesk-tree-" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(root / "sys/class/tty");
    std::filesystem::create_directories(root / "dev/serial/by-id");
  }
  ~FakeTree() { std::filesystem::remove_all(root); }

  platform::DiscoveryRoots Roots() const {
    return {(root / "sys").string(), (root / "dev").string()};
  }
  std::string Dev(const std::string& name) const { return (root / "dev" / name).string(); }

  // A USB device under sys/devices with the given attribute files.
  std::filesystem::path Usb(const std::string& at,
                            std::initializer_list<std::pair<const char*, const char*>> attributes) {
    const std::filesystem::path dir = root / "sys/devices/pci0000:00/usb1" / at;
    std::filesystem::create_directories(dir);
    for (const auto& [name, value] : attributes)
      std::ofstream(dir / name) << value << "\n";
    return dir;
  }

  // A tty class entry whose device link leads to device (none: no link), bound to driver.
  void Tty(const std::string& name, const std::filesystem::path& device, const char* driver,
           const char* uartType = nullptr) {
    const std::filesystem::path entry = root / "sys/class/tty" / name;
    std::filesystem::create_directories(entry);
    if (uartType)
      std::ofstream(entry / "type") << uartType << "\n";
    std::ofstream(root / "dev" / name) << "";
    if (device.empty())
      return;
    std::filesystem::create_directories(device);
    std::filesystem::create_directory_symlink(device, entry / "device");
    if (driver) {
      const std::filesystem::path driverDir = root / "sys/bus/drivers" / driver;
      std::filesystem::create_directories(driverDir);
      std::filesystem::create_directory_symlink(driverDir, device / "driver");
    }
  }

  void Link(const std::string& name, const std::string& target) {
    std::filesystem::create_symlink(target, root / "dev" / name);
  }

  const std::filesystem::path root;
};

}  // namespace flashdesk::testing_support
