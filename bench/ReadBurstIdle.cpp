// CPU cost of waiting for replies on a silent line: ReadBurst called back to back, as the
// engine's reply windows do, on a pseudo-terminal that never talks. The wait must sleep in the
// kernel; target below 1 % of one core.

#include <cstdio>
#include <cstdlib>

#include "bench/CpuTime.h"
#include "bench/PtyLine.h"

int main(int argc, char** argv) {
  using namespace flashdesk;
  const double durationSeconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  constexpr double kTargetPercent = 1.0;

  bench::PtyLine line;
  SerialPort& port = line.port;
  if (!line.Open()) {
    std::fprintf(stderr, "cannot open the pseudo-terminal\n");
    return 2;
  }

  std::uint8_t burst[SerialPort::kMaxBurst];
  long calls = 0;
  long bytes = 0;
  const double cpuStart = bench::CpuSeconds(RUSAGE_SELF);
  const double wallStart = bench::WallSeconds();
  while (bench::WallSeconds() - wallStart < durationSeconds) {
    bytes += port.ReadBurst(burst);
    ++calls;
  }
  const double wall = bench::WallSeconds() - wallStart;
  const double cpu = bench::CpuSeconds(RUSAGE_SELF) - cpuStart;
  const double percent = 100.0 * cpu / wall;

  std::printf("bench_readburst_idle: %ld ReadBurst calls in %.2f s (%.1f ms each), %ld bytes\n",
              calls, wall, 1000.0 * wall / static_cast<double>(calls), bytes);
  std::printf("bench_readburst_idle: CPU %.3f s = %.2f %% of one core (target < %.0f %%)\n", cpu,
              percent, kTargetPercent);
  return percent < kTargetPercent ? 0 : 1;
}
