#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/Console.h"

int main(int argc, char* argv[]) {
  // Warnings belong to the run: a port that cannot be remembered is worth a line.
  const auto settings = flashdesk::platform::UserSettingsStore([](const std::string& problem) {
    std::cerr << "flashdesk-cli: warning: " << problem << '\n' << std::flush;
  });
  flashdesk::cli::CliEnvironment environment{flashdesk::platform::SystemSerialApi(),
                                             flashdesk::platform::SystemClock(),
                                             *settings,
                                             std::cin,
                                             std::cout,
                                             std::cerr,
                                             flashdesk::cli::ErrorsGoToTerminal(),
                                             flashdesk::cli::WatchInterrupt,
                                             nullptr,
                                             {},
                                             nullptr};
  // The arguments' bytes as given: a file name need not be valid text in any encoding.
  const std::vector<std::string> arguments(argv, argv + argc);
  return flashdesk::cli::RunCommandLine(arguments, environment);
}
