#pragma once

#include "cli/CommandLine.h"

namespace flashdesk::application {
class Session;
}

// The commands that search the bus: each checks its own arguments, then scans, as the window
// does at start-up.
namespace flashdesk::cli {

int RunScan(application::Session& session, CliEnvironment& environment, const CliOptions& options);
int RunUpload(application::Session& session, CliEnvironment& environment,
              const CliOptions& options);
int RunExit(application::Session& session, CliEnvironment& environment, const CliOptions& options);
// The whole job: one search, the pre-flight check, the upload, the exit checks (which identify
// again, so they also verify) and the speakers back in Application mode.
int RunFlash(application::Session& session, CliEnvironment& environment, const CliOptions& options);

// "flashdesk-cli: message" and where to read more; the usage-error exit status.
int UsageError(CliEnvironment& environment, const std::string& message);

}  // namespace flashdesk::cli
