#pragma once

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>

#include "platform/PortDiscovery.h"

namespace flashdesk::testing_support {

// A fake Linux device and process tree (sys, dev and proc) laid out as the kernel lays them
// out.
class FakeTree {
 public:
  using Path = std::filesystem::path;
  FakeTree() { std::filesystem::create_directories(root / "dev/serial/by-id"); }
  ~FakeTree() { std::filesystem::remove_all(root); }

  platform::DiscoveryRoots Roots() const {
    return {(root / "sys").string(), (root / "dev").string(), (root / "proc").string()};
  }
  std::string Dev(const std::string& name) const { return (root / "dev" / name).string(); }
  // A USB device under sys/devices with the given attribute files, listed on the USB bus.
  Path Usb(const std::string& at,
           std::initializer_list<std::pair<const char*, const char*>> files) {
    const Path dir = Folder(root / "sys/devices/pci0000:00/usb1" / at);
    for (const auto& [name, value] : files)
      std::ofstream(dir / name) << value << "\n";
    std::filesystem::create_directory_symlink(dir, Folder(root / "sys/bus/usb/devices") / at);
    return dir;
  }
  // An interface of a USB device bound to driver.
  void Interface(const Path& usb, const std::string& name, const char* driver) {
    Bind(Folder(usb / name), driver);
  }
  // A process named comm (none: no comm file) with descriptors 3, 4, ... leading to targets.
  Path Process(int pid, const char* comm, std::initializer_list<Path> targets = {}) {
    const Path dir = Folder(root / "proc" / std::to_string(pid));
    if (comm)
      std::ofstream(dir / "comm") << comm << "\n";
    Folder(dir / "fd");
    int fd = 3;
    for (const Path& target : targets)
      std::filesystem::create_symlink(target, dir / "fd" / std::to_string(fd++));
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
      Bind(device, driver);
  }

  const Path root = std::filesystem::temp_directory_path() /
                    ("flashdesk-tree-" + std::to_string(std::random_device{}()));

 private:
  void Bind(const Path& device, const char* driver) {
    std::filesystem::create_directory_symlink(Folder(root / "sys/bus/drivers" / driver),
                                              device / "driver");
  }
  static Path Folder(const Path& path) {
    std::filesystem::create_directories(path);
    return path;
  }
};

}  // namespace flashdesk::testing_support
