// flashdesk-cli flash against scan, upload and exit run one after another, on four simulated
// speakers in virtual time: the bus time the one command saves (two searches) and what it
// adds (the verification rides on the exit checks' identification, so nothing).
#include <cstdio>
#include <sstream>

#include "cli/CommandLine.h"
#include "sim/FirmwareImage.h"
#include "testing/EngineRig.h"
#include "testing/VirtualLine.h"

namespace {

using namespace flashdesk;

struct Bus {
  Bus() {
    for (std::uint32_t serial = 1001; serial <= 1004; ++serial)
      bus.AddSpeaker(testing_support::VirtualRig::CompleteSpeaker(serial));
  }
  // The virtual milliseconds the commands took, or -1 when one failed.
  std::int64_t Run(const std::vector<std::vector<std::string>>& commands) {
    const std::int64_t start = line.NowMs();
    for (std::vector<std::string> arguments : commands) {
      std::istringstream input;
      std::ostringstream output;
      std::ostringstream errors;
      cli::CliEnvironment environment{line,  line, store,   input, output, errors,
                                      false, {},   nullptr, roots, nullptr};
      arguments.insert(arguments.begin(), "flashdesk-cli");
      if (cli::RunCommandLine(arguments, environment) != cli::kExitSuccess) {
        std::fprintf(stderr, "%s failed:\n%s%s", arguments[1].c_str(), output.str().c_str(),
                     errors.str().c_str());
        return -1;
      }
    }
    return line.NowMs() - start;
  }

  sim::SpeakerBus bus;
  sim::VirtualLine line{bus, 3};
  testing_support::MemoryStore store;
  platform::DiscoveryRoots roots{"/nonexistent/sys", "/nonexistent/dev"};
};

}  // namespace

int main() {
  testing_support::TempFolder folder;
  testing_support::SetEnvironment(testing_support::kStateVariable, folder.path.string());
  const std::string image =
      folder.Write("TarnS1V2.01.syx", sim::BuildFirmwareImage(kKindApplication, 4, 2, 1, 6600 - 2));
  Bus scanOnly;
  const std::int64_t scanMs = scanOnly.Run({{"scan"}});
  Bus apart;
  const std::int64_t apartMs = apart.Run({{"scan"}, {"upload", image}, {"exit", "--yes"}});
  Bus together;
  const std::int64_t flashMs = together.Run({{"flash", image, "--yes"}});
  if (scanMs < 0 || apartMs < 0 || flashMs < 0)
    return 1;
  // flash leaves out the search of upload and of exit; upload alone searches as scan does.
  const double ratio = static_cast<double>(flashMs) / static_cast<double>(apartMs - 2 * scanMs);
  std::printf(
      "4 speakers, 100 blocks, virtual time: scan %lld ms; scan + upload + exit %lld ms; "
      "flash %lld ms, %.1f s saved; flash / (the three less two searches) %.4f "
      "(target <= 1.05)\n",
      static_cast<long long>(scanMs), static_cast<long long>(apartMs),
      static_cast<long long>(flashMs), (apartMs - flashMs) / 1000.0, ratio);
  return ratio <= 1.05 ? 0 : 1;
}
