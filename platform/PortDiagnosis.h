#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/PortDiscovery.h"
#include "platform/SystemError.h"

// Why a port gave no speakers and what the user can do about it. The gathering functions only
// read the system's trees (never open a device), so any thread may call them; a look through
// the process table takes milliseconds, more with many processes. The functions that word the
// advice are pure.
namespace flashdesk::platform {

// A running program.
struct RunningProgram {
  std::int32_t pid = 0;
  // Its name as the system shows it (Linux: /proc/PID/comm, at most 15 characters); empty
  // when unknown.
  std::string name;
};

// Who holds one device.
struct PortHolders {
  // By pid, each once.
  std::vector<RunningProgram> programs;
  // Some processes could not be looked into (other users' need root): the holder may be one.
  bool someUnreadable = false;
};

// Linux: every process under roots.proc with a descriptor on devicePath, matched by the
// descriptor's target against the device's resolved path and by device number. Processes
// that end meanwhile are left out. Windows cannot tell without a driver query: always empty.
PortHolders ProgramsHolding(const std::string& devicePath, const DiscoveryRoots& roots = {});

// Linux: every process under roots.proc, by pid. Windows: empty.
std::vector<RunningProgram> RunningPrograms(const DiscoveryRoots& roots = {});

// A USB device that is a serial adapter: a known USB-serial chip, or one with an interface
// bound to a serial driver.
struct UsbSerialAdapter {
  // Its name in /sys/bus/usb/devices: 1-2 is port 2 of bus 1.
  std::string name;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  // The USB descriptor string; empty when it has none.
  std::string product;
  // The serial ports the kernel made for it (ttyUSB0, ttyACM0), sorted; empty when none.
  std::vector<std::string> ttys;
};

// Linux: the serial adapters under roots.sysfs, by name. Windows: empty.
std::vector<UsbSerialAdapter> FindUsbSerialAdapters(const DiscoveryRoots& roots = {});

enum class HintKind {
  kAdapterWithoutPort,  // the kernel knows the adapter but gave it no serial port
  kModemManager,        // ModemManager runs and probes serial adapters
};

// Something about the machine that spoils a search, with its fix.
struct AdapterHint {
  HintKind kind = HintKind::kAdapterWithoutPort;
  // The adapter in words: product, ids and where it is plugged in.
  std::string device;
  // What is wrong and the fix, in one paragraph.
  std::string text;
};

// Pure: a hint for each adapter without a serial port (naming brltty when it runs) and, while
// ModemManager runs, one for each adapter, in the order of adapters.
std::vector<AdapterHint> AdapterHints(const std::vector<UsbSerialAdapter>& adapters,
                                      const std::vector<RunningProgram>& programs);
// The same for this machine (Linux; Windows: empty).
std::vector<AdapterHint> CheckAdapters(const DiscoveryRoots& roots = {});

// What is known about one port a search tried without finding speakers there.
struct PortFacts {
  std::string path;
  // Why it did not open; absent when it opened and nobody answered.
  std::optional<SerialProblem> problem;
  // The programs holding it, when it was in use.
  PortHolders holders;
  // The group owning the device, when permission was refused; empty when unknown.
  std::string group;
};

// POSIX: the name of the group that owns path; empty when it cannot be read or has no name.
// Windows: empty.
std::string DeviceGroup(const std::string& path);

// Gathers the facts that the advice for problem needs: the holders of a port in use, the
// group of a refused one.
PortFacts CheckPort(const std::string& path, std::optional<SerialProblem> problem,
                    const DiscoveryRoots& roots = {});

// Pure: one line beginning with the path that says why the port gave no speakers and what
// to do ("/dev/ttyUSB0: in use, held by minicom (pid 4242). Quit ...").
std::string PortAdvice(const PortFacts& facts);

// A port a search tried without finding speakers there.
struct SearchedPort {
  std::string path;
  // Why it did not open; absent when it opened and nobody answered.
  std::optional<SerialProblem> problem;
};

// The port is there but would not open: any problem but a missing device.
bool Refused(const SearchedPort& port);

// What a front end shows after a search that found no speakers, one text each: the
// PortAdvice of every port in ports (each path once, where it was first tried), then the text
// of every hint of CheckAdapters. Ports without a device are left out when any port tried
// exists; when none does they make one line ("/dev/ttyUSB0 to /dev/ttyUSB10: none of these
// devices exists...", in natural order), or the one path's own advice. Gathers the facts as
// CheckPort and CheckAdapters do: reads /proc and /sys only, never opens a device, and may take
// tens of milliseconds on a busy machine, so a window calls it on a worker thread.
std::vector<std::string> FailedSearchAdvice(const std::vector<SearchedPort>& ports,
                                            const DiscoveryRoots& roots = {});

}  // namespace flashdesk::platform
