// Upload of a 6600-byte image (100 blocks) to four simulated speakers over a pseudo-terminal:
// wall time against the floor that the protocol's pauses and read time-outs set, and the
// engine thread's CPU time against the wall time.
#include <cstdio>

#include "bench/bench_engine_rig.h"
#include "engine/Pacing.h"
#include "sim/FirmwareImage.h"

int main() {
  using namespace flashdesk;
  bench::EnginePtyRig rig(4);
  if (!rig.Start())
    return 1;
  const std::size_t found = rig.engine.ScanNetwork().bus.speakers.size();
  if (found != 4) {
    std::fprintf(stderr, "scan found %zu speakers, not 4\n", found);
    return 1;
  }
  const std::string path =
      rig.folder.Write("bench.syx", sim::BuildFirmwareImage(kKindApplication, 4, 1, 0, 6600 - 2));

  bool uploaded = false;
  const bench::Measured measured =
      bench::Measure([&] { uploaded = rig.engine.Upload(path, 3).done; });
  if (!uploaded) {
    std::fprintf(stderr, "the upload failed\n");
    return 1;
  }

  // The pauses and the silence that ends every read, as the engine paces them.
  constexpr double kFloorMs = pacing::AttemptMilliseconds(100);
  const double ratio = measured.wallMs / kFloorMs;
  const double cpuShare = measured.threadCpuMs / measured.wallMs;
  std::printf(
      "upload 6600 bytes to 4 speakers: wall %.0f ms, floor %.0f ms, ratio %.4f "
      "(target <= 1.03)\n",
      measured.wallMs, kFloorMs, ratio);
  std::printf(
      "engine thread CPU %.1f ms = %.2f %% of wall (target < 2 %%); whole process with "
      "the simulator %.1f ms\n",
      measured.threadCpuMs, cpuShare * 100, measured.processCpuMs);
  return ratio <= 1.03 && cpuShare < 0.02 ? 0 : 1;
}
