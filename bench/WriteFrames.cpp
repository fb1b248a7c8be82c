// CPU cost of Write for 141-byte frames sent back to back on a pseudo-terminal, with a thread
// draining the other side as a bus would.

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "bench/CpuTime.h"
#include "bench/PtyLine.h"

int main(int argc, char** argv) {
  using namespace flashdesk;
  const long frameCount = argc > 1 ? std::atol(argv[1]) : 100000;
  constexpr std::int32_t kFrameBytes = 141;

  bench::PtyLine line;
  SerialPort& port = line.port;
  if (!line.Open()) {
    std::fprintf(stderr, "cannot open the pseudo-terminal\n");
    return 2;
  }

  std::atomic<bool> writing{true};
  std::atomic<long> received{0};
  std::thread drain([&] {
    std::uint8_t chunk[4096];
    pollfd request{line.pty.Master(), POLLIN, 0};
    for (;;) {
      if (poll(&request, 1, 100) <= 0) {
        if (!writing) {
          break;  // the writer is done and the line has been quiet for 100 ms
        }
        continue;
      }
      const ssize_t n = read(line.pty.Master(), chunk, sizeof chunk);
      if (n <= 0) {
        break;
      }
      received += n;
    }
  });

  std::vector<std::uint8_t> frame(kFrameBytes);
  for (std::int32_t i = 0; i < kFrameBytes; ++i) {
    frame[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i & 0x7F);
  }
  frame.front() = 0xF0;
  frame.back() = 0xF7;

  const double cpuStart = bench::CpuSeconds(RUSAGE_THREAD);
  const double wallStart = bench::WallSeconds();
  for (long i = 0; i < frameCount; ++i) {
    port.Write(frame.data(), kFrameBytes);
  }
  const double wall = bench::WallSeconds() - wallStart;
  const double cpu = bench::CpuSeconds(RUSAGE_THREAD) - cpuStart;
  writing = false;
  drain.join();

  std::printf("bench_write_frames: %ld frames of %d bytes in %.2f s (%.0f frames/s)\n", frameCount,
              kFrameBytes, wall, static_cast<double>(frameCount) / wall);
  std::printf("bench_write_frames: writer CPU %.3f s = %.1f us per frame; %ld bytes arrived\n", cpu,
              1e6 * cpu / static_cast<double>(frameCount), received.load());
  std::printf("bench_write_frames: errors word 0x%X\n", port.Device().Errors());
  return received.load() == frameCount * kFrameBytes ? 0 : 1;
}
