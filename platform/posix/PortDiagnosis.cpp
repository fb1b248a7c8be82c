#include "platform/PortDiagnosis.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/SystemSerialDevices.h"
#include "platform/posix/TreeFiles.h"

namespace flashdesk::platform {
namespace {

namespace fs = std::filesystem;

// The pid a /proc entry names; absent for self, sys and anything else.
std::optional<std::int32_t> PidOf(const std::string& name) {
  if (name.empty() || name.size() > 9 ||
      !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return static_cast<std::int32_t>(std::stol(name));
}

// Calls visit with each process directory under roots.proc and its pid, in pid order; false
// when the process table cannot be listed at all.
template <typename Visit>
bool EachProcess(const DiscoveryRoots& roots, Visit visit) {
  std::vector<std::pair<std::int32_t, fs::path>> processes;
  std::error_code error;
  fs::directory_iterator entries(roots.proc, error);
  const bool listed = !error;
  for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
    if (const auto pid = PidOf(entries->path().filename().string()))
      processes.emplace_back(*pid, entries->path());
  }
  std::sort(processes.begin(), processes.end());
  for (const auto& [pid, folder] : processes)
    visit(pid, folder);
  return listed;
}

// The device as descriptors show it: its resolved path and, for a device node, its number.
struct WantedDevice {
  std::string given;
  std::string resolved;
  std::optional<dev_t> number;
};

// Descriptors always show absolute paths.
WantedDevice Wanted(const std::string& devicePath) {
  std::error_code error;
  const fs::path absolute = fs::absolute(devicePath, error);
  WantedDevice wanted{devicePath, DeviceIdentity(error ? devicePath : absolute.string()),
                      std::nullopt};
  struct stat seen {};
  if (::stat(devicePath.c_str(), &seen) == 0 && S_ISCHR(seen.st_mode))
    wanted.number = seen.st_rdev;
  return wanted;
}

// Another name of the same node (a container's /dev, a bind mount) still has its number.
// Sockets, pipes and anonymous inodes ("socket:[8812]") are no files and are not looked at.
bool Holds(const fs::path& descriptor, const WantedDevice& wanted) {
  std::error_code error;
  const std::string target = fs::read_symlink(descriptor, error).string();
  if (error || target.empty() || target[0] != '/')
    return false;
  if (target == wanted.resolved || target == wanted.given)
    return true;
  struct stat seen {};
  return wanted.number && ::stat(descriptor.c_str(), &seen) == 0 && S_ISCHR(seen.st_mode) &&
         seen.st_rdev == *wanted.number;
}

// The USB device's serial ports: the tty entries whose device lies below it.
std::vector<std::string> TtysBelow(const fs::path& usbDevice, const DiscoveryRoots& roots) {
  std::vector<std::string> ttys;
  const std::string prefix = usbDevice.string() + "/";
  std::error_code error;
  fs::directory_iterator entries(fs::path(roots.sysfs) / "class" / "tty", error);
  for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
    std::error_code unresolved;
    const std::string device = fs::canonical(entries->path() / "device", unresolved).string();
    if (!unresolved && device.compare(0, prefix.size(), prefix) == 0)
      ttys.push_back(entries->path().filename().string());
  }
  std::sort(ttys.begin(), ttys.end());
  return ttys;
}

bool IsKnownChip(std::uint16_t vendorId, std::uint16_t productId) {
  static constexpr std::pair<std::uint16_t, std::uint16_t> kChips[] = {
      {0x1a86, 0x7523}, {0x1a86, 0x5523},  // CH340, CH341
      {0x10c4, 0xea60}, {0x10c4, 0xea70},  // CP210x
      {0x0403, 0x6001}, {0x0403, 0x6015},  // FTDI
      {0x067b, 0x2303},                    // PL2303
  };
  return std::find(std::begin(kChips), std::end(kChips), std::make_pair(vendorId, productId)) !=
         std::end(kChips);
}

// An interface of the device (1-2:1.0 below 1-2) is bound to a driver that makes serial ports.
bool HasSerialInterface(const fs::path& usbDevice) {
  static const char* const kDrivers[] = {"ch341",  "cp210x",  "ftdi_sio",
                                         "pl2303", "cdc_acm", "usbserial_generic"};
  const std::string interfacePrefix = usbDevice.filename().string() + ":";
  std::error_code error;
  fs::directory_iterator entries(usbDevice, error);
  for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
    if (entries->path().filename().string().compare(0, interfacePrefix.size(), interfacePrefix))
      continue;
    std::error_code unbound;
    const std::string driver =
        fs::canonical(entries->path() / "driver", unbound).filename().string();
    if (!unbound &&
        std::find(std::begin(kDrivers), std::end(kDrivers), driver) != std::end(kDrivers))
      return true;
  }
  return false;
}

std::optional<UsbSerialAdapter> DescribeAdapter(const fs::path& entry,
                                                const DiscoveryRoots& roots) {
  std::error_code error;
  const fs::path device = fs::canonical(entry, error);
  if (error)
    return std::nullopt;
  const std::optional<std::uint16_t> vendorId = ReadHexId(device / "idVendor");
  const std::optional<std::uint16_t> productId = ReadHexId(device / "idProduct");
  if (!vendorId || !productId ||
      (!IsKnownChip(*vendorId, *productId) && !HasSerialInterface(device)))
    return std::nullopt;
  return UsbSerialAdapter{entry.filename().string(), *vendorId, *productId,
                          ReadAttribute(device / "product"), TtysBelow(device, roots)};
}

}  // namespace

PortHolders ProgramsHolding(const std::string& devicePath, const DiscoveryRoots& roots) {
  const WantedDevice wanted = Wanted(devicePath);
  PortHolders holders;
  const bool listed = EachProcess(roots, [&](std::int32_t pid, const fs::path& folder) {
    std::error_code error;
    fs::directory_iterator descriptors(folder / "fd", error);
    // Gone meanwhile is no loss; anything else (another user's process) may hide the holder.
    if (error && error != std::errc::no_such_file_or_directory)
      holders.someUnreadable = true;
    for (const fs::directory_iterator end; !error && descriptors != end;
         descriptors.increment(error)) {
      if (Holds(descriptors->path(), wanted)) {
        holders.programs.push_back({pid, ReadAttribute(folder / "comm")});
        break;  // a program with the port open twice is named once
      }
    }
  });
  // Without a process table nobody could be checked.
  holders.someUnreadable = holders.someUnreadable || !listed;
  return holders;
}

std::vector<RunningProgram> RunningPrograms(const DiscoveryRoots& roots) {
  std::vector<RunningProgram> programs;
  EachProcess(roots, [&programs](std::int32_t pid, const fs::path& folder) {
    programs.push_back({pid, ReadAttribute(folder / "comm")});
  });
  return programs;
}

std::vector<UsbSerialAdapter> FindUsbSerialAdapters(const DiscoveryRoots& roots) {
  std::vector<UsbSerialAdapter> adapters;
  std::error_code error;
  fs::directory_iterator entries(fs::path(roots.sysfs) / "bus" / "usb" / "devices", error);
  for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
    // Interfaces (1-2:1.0) are looked at through their device.
    if (entries->path().filename().string().find(':') != std::string::npos)
      continue;
    if (auto adapter = DescribeAdapter(entries->path(), roots))
      adapters.push_back(std::move(*adapter));
  }
  std::sort(adapters.begin(), adapters.end(),
            [](const UsbSerialAdapter& a, const UsbSerialAdapter& b) { return a.name < b.name; });
  return adapters;
}

std::string DeviceGroup(const std::string& path) {
  struct stat seen {};
  if (::stat(path.c_str(), &seen) != 0)
    return {};
  std::vector<char> buffer(16384);
  struct group entry {};
  struct group* found = nullptr;
  while (getgrgid_r(seen.st_gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
         buffer.size() < (1u << 20))
    buffer.resize(buffer.size() * 2);
  return found != nullptr && found->gr_name != nullptr ? found->gr_name : "";
}

}  // namespace flashdesk::platform
