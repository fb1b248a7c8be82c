#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "engine/SpeakerNetwork.h"
#include "testing/EngineRig.h"
#include "testing/PseudoTerminal.h"

namespace flashdesk {
namespace {

// A device that streams without pause (a USB CDC device ignores the baud rate).
TEST(EngineOnPseudoTerminal, PortThatNeverFallsSilentEndsTheScanWithNoSpeakers) {
  fakes::PseudoTerminal pty;
  fakes::PortFolder ports;
  ports.Link(3, pty.SlavePath());
  ASSERT_EQ(::fcntl(pty.Master(), F_SETFL, O_NONBLOCK), 0);
  std::atomic<bool> feeding{true};
  std::thread feeder([&] {
    const std::vector<std::uint8_t> noise(4096, 0x55);
    while (feeding) {
      pollfd request{pty.Master(), POLLOUT, 0};
      if (::poll(&request, 1, 10) > 0 && ::write(pty.Master(), noise.data(), noise.size()) < 0)
        std::this_thread::yield();
    }
  });
  testing_support::MemoryStore store;
  testing_support::ScriptedPrompts prompts;
  SpeakerNetwork engine({platform::SystemSerialApi(), platform::SystemClock(), store, prompts});

  std::future<ScanOutcome> scan =
      std::async(std::launch::async, [&engine] { return engine.ScanNetwork(); });
  const bool ended = scan.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
  feeding = false;
  feeder.join();
  const ScanOutcome found = scan.get();

  EXPECT_TRUE(ended) << "the scan still drained the line after 60 s";
  EXPECT_EQ(found.bus.portNumber, -1);
  EXPECT_TRUE(found.bus.speakers.empty());
  EXPECT_EQ(store.stored, std::optional<std::string>("-1"));
}

}  // namespace
}  // namespace flashdesk
