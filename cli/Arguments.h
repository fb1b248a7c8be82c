#pragma once

#include <string>
#include <vector>

#include "cli/CommandLine.h"

namespace flashdesk::cli {

constexpr const char* kProgramName = "flashdesk-cli";

enum class Parsed { kRun, kAnswered, kMistake };

// Reads the arguments (the program name first) into options. For kAnswered, text is the help
// or version to print; for kMistake, what is wrong.
Parsed ParseArguments(const std::vector<std::string>& arguments, CliOptions& options,
                      std::string& text);

}  // namespace flashdesk::cli
