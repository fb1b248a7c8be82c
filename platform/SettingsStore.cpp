#include "platform/SettingsStore.h"

#include "platform/Trace.h"

namespace flashdesk::platform {

void SettingsProblems::Report(const std::string& problem) {
  if (problem == lastProblem) {
    return;
  }
  lastProblem = problem;
  Trace(problem);
  if (warn) {
    warn(problem);
  }
}

}  // namespace flashdesk::platform
