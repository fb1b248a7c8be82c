#include "platform/PortDiagnosis.h"

// Windows tells none of this cheaply: which process holds a port takes a handle scan with
// debug rights, and its registry list names ports, not USB chips. The advice stays generic.
namespace flashdesk::platform {

PortHolders ProgramsHolding(const std::string&, const DiscoveryRoots&) {
  return {};
}

std::vector<RunningProgram> RunningPrograms(const DiscoveryRoots&) {
  return {};
}

std::vector<UsbSerialAdapter> FindUsbSerialAdapters(const DiscoveryRoots&) {
  return {};
}

std::string DeviceGroup(const std::string&) {
  return {};
}

}  // namespace flashdesk::platform
