// A scan whose saved port answers: wall time against the floor of its windows and pauses.
#include <cstdio>

#include "bench/bench_engine_rig.h"

int main() {
  using namespace flashdesk;
  bench::EnginePtyRig rig(4);
  if (!rig.Start())
    return 1;

  ScanOutcome found;
  const bench::Measured measured = bench::Measure([&] { found = rig.engine.ScanNetwork(); });
  if (found.bus.speakers.size() != 4 || found.bus.portNumber != 3) {
    std::fprintf(stderr, "scan found %zu speakers on port %d\n", found.bus.speakers.size(),
                 found.bus.portNumber);
    return 1;
  }

  // Ping: flush (20 ms of silence), the first reply and the 20 ms that end its burst, 1000 ms,
  // flush. Identification, five passes: flush, the last reply, 20 ms, then the 300 ms window.
  const double firstReplyMs = sim::SimulatedSpeaker::kFirstReplyDelayMs;
  const double pingMs = 20 + firstReplyMs + 20 + 1000 + 20;
  const double passMs = 20 + rig.LastReplyMs() + 20 + 300;
  const double floorMs = pingMs + 5 * passMs;
  const double ratio = measured.wallMs / floorMs;
  std::printf(
      "scan with a saved port that answers (4 speakers): wall %.0f ms, floor %.0f ms, "
      "ratio %.4f (target <= 1.05); engine thread CPU %.1f ms\n",
      measured.wallMs, floorMs, ratio, measured.threadCpuMs);
  return ratio <= 1.05 ? 0 : 1;
}
