#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/SerialApi.h"

namespace flashdesk::platform {

// One serial device the operating system knows, as far as it tells. Nothing here comes from
// opening the device.
struct SerialDevice {
  // What Open takes: /dev/ttyACM0, \\.\COM3.
  std::string path;
  // Further names of the same device: the /dev/serial/by-id links.
  std::vector<std::string> aliases;
  // The kernel driver (cdc_acm, ftdi_sio, serial); on Windows the kernel's device name
  // (\Device\VCP0). Empty when unknown.
  std::string driver;
  // Of the USB device behind the port; absent for ports that are not on USB.
  std::optional<std::uint16_t> vendorId;
  std::optional<std::uint16_t> productId;
  // USB descriptor strings; empty when the device has none.
  std::string manufacturer;
  std::string product;
  std::string serialNumber;
  // The number the port search tries this device under; absent when no number up to the
  // highest one leads to it.
  std::optional<std::int16_t> portNumber;
};

// Where the Linux device and process trees live; tests point these at a fake tree. Other
// systems ignore them.
struct DiscoveryRoots {
  std::string sysfs = "/sys";
  std::string dev = "/dev";
  std::string proc = "/proc";
};

// The order DiscoverSerialPorts lists paths in: runs of digits compare by value, so ttyUSB2
// comes before ttyUSB10.
bool NaturalLess(const std::string& a, const std::string& b);

// The device path the port search opens for port N (SerialApi::PortPath).
using PortPathOf = std::function<std::string(std::int16_t)>;

// The machine's serial devices in natural order of their paths (ttyUSB2 before ttyUSB10),
// each numbered by trying portPath for 0 to highestPort. Linux reads /sys/class/tty and skips
// entries with no device behind them (virtual consoles, pseudo-terminals) and legacy UARTs
// of unknown type; Windows reads the registry's list of serial devices. Never opens a device;
// an unreadable tree gives an empty list. Any thread may call it.
std::vector<SerialDevice> DiscoverSerialPorts(const PortPathOf& portPath, std::int16_t highestPort,
                                              const DiscoveryRoots& roots = {});
// The same, numbered as serial names its ports.
std::vector<SerialDevice> DiscoverSerialPorts(SerialApi& serial, std::int16_t highestPort,
                                              const DiscoveryRoots& roots = {});

}  // namespace flashdesk::platform
