#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/SystemSerialDevices.h"
#include "platform/posix/TreeFiles.h"

namespace flashdesk::platform {
namespace {

namespace fs = std::filesystem;

// The USB device (the one with vendor and product ids) that the port's device sits on: the
// device itself for some drivers, an ancestor (interface, then device) for most.
std::optional<fs::path> UsbDeviceAbove(fs::path device, const fs::path& sysfsRoot) {
  for (; device.has_relative_path() && device != sysfsRoot; device = device.parent_path()) {
    if (IsFile(device / "idVendor") && IsFile(device / "idProduct"))
      return device;
  }
  return std::nullopt;
}

// A legacy UART the kernel registers whether or not a chip is there reports type 0.
bool IsAbsentUart(const fs::path& ttyEntry) {
  return IsFile(ttyEntry / "type") && ReadAttribute(ttyEntry / "type") == "0";
}

std::optional<SerialDevice> DescribeTty(const fs::directory_entry& ttyEntry,
                                        const DiscoveryRoots& roots, const fs::path& sysfsRoot) {
  std::error_code error;
  // Virtual consoles and pseudo-terminals have no device behind them.
  const fs::path device = fs::canonical(ttyEntry.path() / "device", error);
  if (error || IsAbsentUart(ttyEntry.path()))
    return std::nullopt;
  SerialDevice found;
  found.path = (fs::path(roots.dev) / ttyEntry.path().filename()).string();
  const fs::path driver = fs::canonical(device / "driver", error);
  if (!error)
    found.driver = driver.filename().string();
  if (const auto usb = UsbDeviceAbove(device, sysfsRoot)) {
    found.vendorId = ReadHexId(*usb / "idVendor");
    found.productId = ReadHexId(*usb / "idProduct");
    found.manufacturer = ReadAttribute(*usb / "manufacturer");
    found.product = ReadAttribute(*usb / "product");
    found.serialNumber = ReadAttribute(*usb / "serial");
  }
  return found;
}

// Adds each /dev/serial/by-id link to the device it leads to.
void AddStableNames(std::vector<SerialDevice>& devices, const DiscoveryRoots& roots) {
  std::error_code error;
  fs::directory_iterator links(fs::path(roots.dev) / "serial" / "by-id", error);
  const fs::directory_iterator end;
  for (; !error && links != end; links.increment(error)) {
    const std::string target = DeviceIdentity(links->path().string());
    for (SerialDevice& device : devices) {
      if (DeviceIdentity(device.path) == target)
        device.aliases.push_back(links->path().string());
    }
  }
}

}  // namespace

std::vector<SerialDevice> ListSystemSerialDevices(const DiscoveryRoots& roots) {
  std::vector<SerialDevice> devices;
  std::error_code error;
  const fs::path sysfsRoot = fs::weakly_canonical(roots.sysfs, error);
  fs::directory_iterator entries(fs::path(roots.sysfs) / "class" / "tty", error);
  const fs::directory_iterator end;
  // Incrementing with an error code: a device unplugged midway ends the list, not the run.
  for (; !error && entries != end; entries.increment(error)) {
    if (auto device = DescribeTty(*entries, roots, sysfsRoot))
      devices.push_back(std::move(*device));
  }
  AddStableNames(devices, roots);
  for (SerialDevice& device : devices)
    std::sort(device.aliases.begin(), device.aliases.end());
  return devices;
}

std::string DeviceIdentity(const std::string& path) {
  std::error_code error;
  const fs::path resolved = fs::weakly_canonical(path, error);
  return error ? path : resolved.string();
}

}  // namespace flashdesk::platform
