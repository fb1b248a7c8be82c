#include "cli/PortCommands.h"

#include <cstdio>
#include <vector>

#include "cli/RecordCommands.h"
#include "engine/Outcomes.h"
#include "platform/PortDiagnosis.h"

namespace flashdesk::cli {

namespace {

std::vector<platform::SerialDevice> Discover(CliEnvironment& environment) {
  return platform::DiscoverSerialPorts(environment.serial, ScanOutcome::kHighestPort,
                                       environment.discoveryRoots);
}

}  // namespace

std::string DescribeDevice(const platform::SerialDevice& device) {
  std::string text = device.path;
  if (device.vendorId && device.productId) {
    char ids[16];
    std::snprintf(ids, sizeof ids, "  USB %04x:%04x", *device.vendorId, *device.productId);
    text += ids;
  }
  for (const std::string* name : {&device.manufacturer, &device.product, &device.serialNumber}) {
    if (!name->empty())
      text += "  " + *name;
  }
  return text + (device.portNumber ? "  port " + std::to_string(*device.portNumber)
                                   : "  not covered by the template");
}

int RunPorts(application::Session&, CliEnvironment& environment, const CliOptions&) {
  const std::vector<platform::SerialDevice> devices = Discover(environment);
  if (environment.json) {
    PrintPortsJson(environment, devices);
    return kExitSuccess;
  }
  if (devices.empty())
    environment.output << "No serial devices found.\n";
  for (const platform::SerialDevice& device : devices)
    environment.output << DescribeDevice(device) << '\n';
  for (const platform::AdapterHint& hint : platform::CheckAdapters(environment.discoveryRoots))
    environment.output << hint.text << '\n';
  environment.output << std::flush;
  return kExitSuccess;
}

void ExplainNoSpeakers(const ScanOutcome& found, CliEnvironment& environment) {
  std::vector<platform::SearchedPort> tried;
  for (const TriedPort& port : found.portsTried)
    tried.push_back({port.path, port.problem});
  for (const std::string& advice : platform::FailedSearchAdvice(tried, environment.discoveryRoots))
    environment.output << advice << '\n';
  // A pinned port was the user's own choice; a probe sent to an unknown device could upset it,
  // so the others are only named.
  if (!found.pinnedPath) {
    bool first = true;
    for (const platform::SerialDevice& device : Discover(environment)) {
      if (device.portNumber)
        continue;
      if (first)
        environment.output << "Serial devices the port search does not try:\n";
      first = false;
      environment.output << "  --port " << device.path << "    " << DescribeDevice(device) << '\n';
    }
  }
  environment.output << std::flush;
}

void NoteScanLimits(const ScanOutcome& found, CliEnvironment& environment) {
  if (found.unlistedSpeakers > 0) {
    environment.output << "The bus has more speakers than FlashDesk can list and check ("
                       << found.unlistedSpeakers << " not listed).\n";
  }
  if (found.busKeptTalking) {
    environment.output << "The bus kept talking: replies did not stop, so the search stopped "
                          "listening; the speakers heard until then are listed.\n";
  }
  environment.output << std::flush;
}

}  // namespace flashdesk::cli
