// flashdesk-cli flash against the three commands scan, upload and exit, on four simulated
// speakers over a pseudo-terminal: flash must take at most 1.05 x (one search + the pacing
// floor of one upload + one exit), and saves the searches of upload and exit.
#include <cstdio>
#include <sstream>

#include "bench/bench_engine_rig.h"
#include "cli/CommandLine.h"
#include "engine/Pacing.h"
#include "sim/FirmwareImage.h"

namespace {

using namespace flashdesk;

constexpr std::int64_t kDataBlocks = 100;

// Wall milliseconds of the commands on a bus of its own, or -1 when one failed.
double Run(const std::vector<std::vector<std::string>>& commands) {
  bench::EnginePtyRig rig(4);
  if (!rig.Start())
    return -1;
  testing_support::SetEnvironment(testing_support::kStateVariable, rig.folder.path.string());
  bool failed = false;
  const bench::Measured measured = bench::Measure([&] {
    for (std::vector<std::string> arguments : commands) {
      std::istringstream input;
      std::ostringstream output;
      std::ostringstream errors;
      cli::CliEnvironment environment{platform::SystemSerialApi(),
                                      platform::SystemClock(),
                                      rig.store,
                                      input,
                                      output,
                                      errors,
                                      false,
                                      {},
                                      nullptr,
                                      {},
                                      nullptr};
      arguments.insert(arguments.begin(), "flashdesk-cli");
      if (cli::RunCommandLine(arguments, environment) != cli::kExitSuccess) {
        std::fprintf(stderr, "%s failed:\n%s%s", arguments[1].c_str(), output.str().c_str(),
                     errors.str().c_str());
        failed = true;
        return;
      }
    }
  });
  return failed ? -1 : measured.wallMs;
}

}  // namespace

int main() {
  testing_support::TempFolder folder;
  // The version the rig's speakers report after it, as its name says: flash verifies it.
  const std::string image =
      folder.Write("TarnS1V2.01.syx",
                   sim::BuildFirmwareImage(kKindApplication, 4, 2, 1,
                                           kDataBlocks * kFileBytesPerBlock - sim::kVersionBytes));
  const double search = Run({{"scan"}});
  const double exit = Run({{"exit", "--yes"}});
  const double apart = Run({{"scan"}, {"upload", image}, {"exit", "--yes"}});
  const double flash = Run({{"flash", image, "--yes"}});
  if (search < 0 || exit < 0 || apart < 0 || flash < 0)
    return 1;
  // exit searches first: what it adds to a search is the exit checks themselves.
  const double floor = static_cast<double>(pacing::AttemptMilliseconds(kDataBlocks));
  const double target = search + floor + (exit - search);
  std::printf(
      "4 speakers, %lld blocks: search %.0f ms, upload floor %.0f ms, exit command %.0f ms\n"
      "scan + upload + exit %.0f ms; flash %.0f ms (%.1f s saved); flash / (search + floor + "
      "exit checks) %.4f (target <= 1.05)\n",
      static_cast<long long>(kDataBlocks), search, floor, exit, apart, flash,
      (apart - flash) / 1000, flash / target);
  return flash / target <= 1.05 ? 0 : 1;
}
