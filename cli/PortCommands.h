#pragma once

#include <string>

#include "cli/CommandLine.h"
#include "platform/PortDiscovery.h"

namespace flashdesk {
struct ScanOutcome;
}
namespace flashdesk::application {
class Session;
}

namespace flashdesk::cli {

// One line of the ports listing: path, USB ids, descriptor strings and the port number the
// search tries it under.
std::string DescribeDevice(const platform::SerialDevice& device);

// ports: lists the machine's serial devices without opening any.
int RunPorts(application::Session& session, CliEnvironment& environment, const CliOptions& options);

// After a scan that found nobody: which ports another program holds, and the devices the
// numbered search never tries, each with the option that would try it.
void ExplainNoSpeakers(const ScanOutcome& found, CliEnvironment& environment);

// After a scan that found speakers: says so when the bus has more than the table holds, or
// when its replies did not stop.
void NoteScanLimits(const ScanOutcome& found, CliEnvironment& environment);

}  // namespace flashdesk::cli
