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
  using Path = std::filesystem::path;
  FakeTree() { std::filesystem::create_directories(root / "dev/serial/by-id"); }
  ~FakeTree() { std::filesystem::remove_all(root); }

  platform::DiscoveryRoots Roots() const {
    return {(root / "sys").string(), (root / "dev").string()};
  }
  std::string Dev(const std::string& name) const { return (root / "dev" / name).string(); }
  // A USB device under sys/devices with the given attribute files.
  Path Usb(const std::string& at,
           std::initializer_list<std::pair<const char*, const char*>> files) {
    const Path dir = Folder(root / "sys/devices/pci0000:00/usb1" / at);
    for (const auto& [name, value] : files)
      std::ofstream(dir / name) << value << "\n";
    return dir;
  }
  // A tty class entry whose device link leads to device (none: no link), bound to driver.
  void Tty(const std::string& name, const Path& device, const char* driver,
           const char* uartType = nullptr) {
    const Path entry = Folder(root / "sys/class/tty" / name);
    if (uartType)
      std::ofstream(entry / "type") << uartType << "\n";
    std::ofstream(Dev(name)) << "";
    if (!device.empty())
      std::filesystem::create_directory_symlink(Folder(device), entry / "device");
    if (!device.empty() && driver)
      std::filesystem::create_directory_symlink(Folder(root / "sys/bus/drivers" / driver),
                                                device / "driver");
  }

  const Path root = std::filesystem::temp_directory_path() /
                    ("flashdesk-tree-" + std::to_string(std::random_device{}()));

 private:
  static Path Folder(const Path& path) {
    std::filesystem::create_directories(path);
    return path;
  }
};

}  // namespace flashdesk::testing_support
