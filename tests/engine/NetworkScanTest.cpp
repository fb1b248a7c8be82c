#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "testing/EngineRig.h"
#include "transport/Comm.h"

namespace flashdesk {
namespace {

using testing_support::VirtualRig;

// A letter per tried port, "msu" for missing, silent, in use, once each tried port is found
// at its path and number, the numbers given (-1 for a pinned port).
std::string Kinds(const ScanOutcome& outcome, const std::vector<std::int16_t>& numbers) {
  std::string kinds;
  for (std::size_t i = 0; i < outcome.portsTried.size(); ++i) {
    const TriedPort& port = outcome.portsTried[i];
    const std::int32_t number = i < numbers.size() ? numbers[i] : -2;
    EXPECT_EQ(port.number, number);
    if (number >= 0) {
      EXPECT_EQ(port.path, "virtual:" + std::to_string(number));
    }
    const std::string name = port.problem ? platform::ProblemName(*port.problem) : "silent";
    kinds += name == "in use" ? 'u' : name[0];
  }
  return kinds;
}

TEST(NetworkScan, PortsAreTriedSavedFirstAndTheFoundOneIsSaved) {
  // Port lists as text, "3 0 1" for ports 3, 0 and 1.
  const struct {
    const char* label;
    std::optional<std::string> saved;
    std::int16_t busPort;
    const char* silentPorts;
    const char* heldElsewhere;  // open in another program
    const char* attempts;
    std::int32_t found;
    const char* tried;  // per port that gave no speakers: missing, silent or in use (u)
  } cases[] = {
      {"saved port answers", std::string("3"), 3, "", "", "3", 3, ""},
      {"saved port gone", std::string("3"), 7, "", "", "3 0 1 2 3 4 5 6 7", 7, "mmmmmmmm"},
      {"saved port gone, bus on the first adapter", std::string("3"), 0, "", "", "3 0", 0, "m"},
      {"saved port silent, next missing", std::string("3"), 6, "3", "", "3 4 0 1 2 3 4 5 6", 6,
       "smmmmsmm"},
      {"saved port silent, next silent too", std::string("3"), 2, "3 4", "", "3 4 5 0 1 2", 2,
       "ssmmm"},
      {"nothing saved", std::nullopt, 2, "", "", "0 1 2", 2, "mm"},
      {"saved text without digits", std::string("COM3"), 2, "", "", "0 1 2", 2, "mm"},
      {"saved port beyond the search", std::string("99"), 2, "", "", "0 1 2", 2, "mm"},
      {"no speakers anywhere", std::string("3"), 40, "", "", "3 0 1 2 3 4 5 6 7 8 9 10", -1,
       "mmmmmmmmmmmm"},
      {"no speakers, nothing saved", std::nullopt, 40, "", "", "0 1 2 3 4 5 6 7 8 9 10", -1,
       "mmmmmmmmmmm"},
      {"bus held by another program", std::string("3"), 3, "", "3", "3 0 1 2 3 4 5 6 7 8 9 10", -1,
       "ummmummmmmmm"},
      {"another port held, bus found", std::nullopt, 2, "1", "1", "0 1 2", 2, "mu"},
  };
  const auto ports = [](const char* text) {
    std::istringstream words(text);
    return std::vector<std::int16_t>(std::istream_iterator<std::int16_t>(words), {});
  };
  for (const auto& example : cases) {
    VirtualRig rig(example.busPort, example.saved);
    for (const std::int16_t port : ports(example.silentPorts))
      rig.line.AddSilentPort(port);
    std::vector<std::unique_ptr<Comm>> otherProgram;
    for (const std::int16_t port : ports(example.heldElsewhere)) {
      otherProgram.push_back(std::make_unique<Comm>(rig.line));
      ASSERT_TRUE(otherProgram.back()->Open(port)) << example.label;
    }
    const std::size_t earlierOpens = rig.line.OpenAttempts().size();
    rig.bus.AddSpeaker(VirtualRig::CompleteSpeaker(7007));
    const ScanOutcome found = rig.engine.ScanNetwork();

    const std::vector<std::int16_t> opens = rig.line.OpenAttempts();
    EXPECT_EQ(std::vector<std::int16_t>(opens.begin() + earlierOpens, opens.end()),
              ports(example.attempts))
        << example.label;
    EXPECT_EQ(found.bus.portNumber, example.found) << example.label;
    EXPECT_EQ(found.bus.portPath,
              example.found < 0 ? "" : "virtual:" + std::to_string(example.found))
        << example.label;
    const std::vector<std::int16_t> held = ports(example.heldElsewhere);
    const std::vector<std::int32_t> busy(held.begin(), held.end());
    EXPECT_EQ(found.busyPorts, busy) << example.label;
    std::vector<std::int16_t> triedNumbers = ports(example.attempts);
    if (example.found >= 0)
      triedNumbers.pop_back();
    EXPECT_EQ(Kinds(found, triedNumbers), example.tried) << example.label;
    // A search that failed on a held port keeps the saved one.
    const bool saves = example.found >= 0 || busy.empty();
    EXPECT_EQ(rig.store.writes,
              saves ? std::vector<std::string>{"ComPort=" + std::to_string(example.found)}
                    : std::vector<std::string>{})
        << example.label;
    EXPECT_EQ(found.bus.speakers.size(), example.found < 0 ? 0u : 1u) << example.label;
    const int heldBus =
        static_cast<int>(std::count(held.begin(), held.end(), std::int16_t{example.busPort}));
    EXPECT_EQ(rig.line.BusPortOpens(), (example.found >= 0) + heldBus) << example.label;
    if (example.found >= 0 && *example.silentPorts == 0) {
      EXPECT_TRUE(rig.Sent(kModeCommand).empty()) << example.label << ": answered at once";
    }
  }
}

TEST(NetworkScan, PinnedPortIsTheOnlyOneTriedAndLeavesTheSavedPortAlone) {
  const std::vector<std::string> none;
  const struct {
    const char* label;
    std::string pinned;
    bool silent;
    bool heldElsewhere;
    std::vector<std::string> busy;
    std::string found;
    const char* tried;
  } cases[] = {
      {"speakers there", "virtual:7", false, false, none, "virtual:7", ""},
      {"silent speakers switched to Boot mode", "virtual:7", true, false, none, "virtual:7", ""},
      {"no such device", "virtual:5", false, false, none, "", "m"},
      {"held by another program", "virtual:7", false, true, {"virtual:7"}, "", "u"},
  };
  for (const auto& example : cases) {
    VirtualRig rig(7);
    sim::SpeakerConfig speaker = VirtualRig::CompleteSpeaker(7007);
    if (example.silent) {
      speaker.mode = sim::SpeakerMode::kApplication;
      speaker.silentInApplication = true;
    }
    rig.bus.AddSpeaker(speaker);
    Comm otherProgram(rig.line);
    if (example.heldElsewhere) {
      ASSERT_TRUE(otherProgram.Open(7)) << example.label;
    }
    const std::size_t earlierOpens = rig.line.OpenAttempts().size();
    rig.engine.PinPort(example.pinned);
    const ScanOutcome found = rig.engine.ScanNetwork();

    const std::vector<std::int16_t> opens = rig.line.OpenAttempts();
    EXPECT_EQ(opens.size(), earlierOpens + 1) << example.label;
    EXPECT_EQ(found.bus.portPath, example.found) << example.label;
    EXPECT_EQ(found.bus.portNumber, -1) << example.label;
    EXPECT_EQ(found.bus.speakers.size(), example.found.empty() ? 0u : 1u) << example.label;
    EXPECT_EQ(rig.line.BusPortOpens(), !example.found.empty() + example.heldElsewhere)
        << example.label;
    std::vector<std::string> held;
    for (const TriedPort& port : found.portsTried) {
      if (port.problem == platform::SerialProblem::kInUse)
        held.push_back(port.path);
    }
    EXPECT_EQ(held, example.busy) << example.label;
    EXPECT_TRUE(found.busyPorts.empty()) << example.label;
    EXPECT_EQ(Kinds(found, {-1}), example.tried) << example.label;
    for (const TriedPort& port : found.portsTried)
      EXPECT_EQ(port.path, example.pinned) << example.label;
    EXPECT_TRUE(rig.store.writes.empty()) << example.label;
    EXPECT_EQ(rig.Sent(kModeCommand).size(), example.silent ? 1u : 0u) << example.label;
  }
}

TEST(NetworkScan, ModeCommandGoesToZeroOnlyWhenTheBootSignalWasHeard) {
  // A signal only every 20 s comes too late for the 2000 ms of listening. Silent speakers in
  // Application mode make the scan send Boot mode; the exit sends Application mode.
  const struct {
    std::int32_t bootSignalPeriodMs;
    bool silent;
    std::uint8_t mode;
    std::uint8_t destination;
  } cases[] = {{700, false, kApplicationMode, kBootSignalDestination},
               {0, false, kApplicationMode, kEverySpeaker},
               {20000, false, kApplicationMode, kEverySpeaker},
               {0, true, kBootMode, kEverySpeaker}};
  for (const auto& example : cases) {
    VirtualRig rig;
    sim::SpeakerConfig speaker = VirtualRig::CompleteSpeaker(5005);
    speaker.bootSignalPeriodMs = example.bootSignalPeriodMs;
    if (example.silent) {
      speaker.mode = sim::SpeakerMode::kApplication;
      speaker.silentInApplication = true;
    }
    rig.bus.AddSpeaker(speaker);
    rig.engine.ScanNetwork();
    if (!example.silent) {
      ASSERT_TRUE(rig.engine.ConfirmExit().allowed);
    }

    const std::vector<sim::RecordedFrame> modes = rig.Sent(kModeCommand);
    ASSERT_EQ(modes.size(), 1u);
    const std::string label =
        std::to_string(example.bootSignalPeriodMs) + " ms, mode " + std::to_string(example.mode);
    EXPECT_EQ(modes[0].destination, example.destination) << label;
    EXPECT_EQ(modes[0].payload, std::vector<std::uint8_t>{example.mode}) << label;
  }
}

TEST(NetworkScan, IdentificationEntersEachSpeakerOnceInTheOrderOfFirstReply) {
  VirtualRig rig;
  sim::SpeakerConfig first = VirtualRig::CompleteSpeaker(300, 3);
  sim::SpeakerConfig second = VirtualRig::CompleteSpeaker(100, 5);
  sim::SpeakerConfig repeater = VirtualRig::CompleteSpeaker(200, 8);
  // The first two reply together, so both frames come in one burst.
  first.replyDelayMs = 20;
  second.replyDelayMs = 20;
  repeater.replyDelayMs = 80;
  repeater.answersTwice = true;
  for (const sim::SpeakerConfig& speaker : {first, second, repeater})
    rig.bus.AddSpeaker(speaker);
  const ScanOutcome found = rig.engine.ScanNetwork();

  // The ping takes the first frame of the shared burst; the second waits in the message layer
  // and is the first reply identification takes.
  EXPECT_EQ(VirtualRig::SerialsOf(found.bus), (std::vector<std::uint32_t>{100, 300, 200}));
  EXPECT_EQ(found.bus.speakers[2].type, 8);
}

TEST(NetworkScan, EveryReplyOfABurstIsTakenAndABusThatKeepsTalkingEndsEachPass) {
  // Replies 12 ms apart run together into one burst.
  VirtualRig full;
  for (int i = 0; i < SpeakerNetwork::kMaxSpeakers; ++i) {
    sim::SpeakerConfig speaker = VirtualRig::CompleteSpeaker(7000 + static_cast<std::uint32_t>(i));
    speaker.replyDelayMs = 15 + 12 * i;
    full.bus.AddSpeaker(speaker);
  }
  const ScanOutcome crowded = full.engine.ScanNetwork();
  EXPECT_EQ(crowded.bus.speakers.size(), 18u);
  EXPECT_FALSE(crowded.busKeptTalking);

  const struct {
    std::int32_t periodMs;
    bool newSerials;
    std::size_t speakers;
  } chatters[] = {{10, false, 2}, {250, false, 2}, {10, true, 18}};
  for (const auto& chatter : chatters) {
    const std::string label =
        std::to_string(chatter.periodMs) + " ms" + (chatter.newSerials ? ", new serials" : "");
    VirtualRig rig;
    rig.bus.AddSpeaker(VirtualRig::CompleteSpeaker(100));
    sim::SpeakerConfig chatty = VirtualRig::CompleteSpeaker(200);
    chatty.chatterPeriodMs = chatter.periodMs;
    chatty.chatterNewSerials = chatter.newSerials;
    rig.bus.AddSpeaker(chatty);
    const ScanOutcome found = rig.engine.ScanNetwork();
    EXPECT_TRUE(found.busKeptTalking) << label;
    EXPECT_EQ(found.bus.speakers.size(), chatter.speakers) << label;
    EXPECT_EQ(found.bus.portNumber, 3) << label;
    // Five passes of at most 6 s each, after the ping and a mode switch.
    EXPECT_LT(rig.line.NowMs(), 40000) << label;
  }
}

TEST(NetworkScan, TableHoldsEighteenSpeakersAndCountsLookAtAllFourSlots) {
  VirtualRig rig;
  sim::SpeakerConfig bootOnly = VirtualRig::CompleteSpeaker(1, 3);
  bootOnly.software = {{kKindBoot, 1, 0}, {3, 1, 0}};
  sim::SpeakerConfig noFpga = VirtualRig::CompleteSpeaker(2, 7);
  noFpga.software = {{kKindBoot, 1, 0}, {kKindBoot, 1, 1}, {kKindTest, 1, 0}, {7, 3, 0}};
  rig.bus.AddSpeaker(bootOnly);
  rig.bus.AddSpeaker(noFpga);
  for (std::uint32_t serial = 5000; serial < 5018; ++serial)
    rig.bus.AddSpeaker(VirtualRig::CompleteSpeaker(serial));
  const ScanOutcome found = rig.engine.ScanNetwork();

  ASSERT_EQ(found.bus.speakers.size(), 18u);
  EXPECT_EQ(VirtualRig::SerialsOf(found.bus).back(), 5015u);
  EXPECT_EQ(found.unlistedSpeakers, 2) << "each heard in five passes, counted once";
  const struct {
    std::int32_t type;
    std::int32_t kind;
    std::int32_t count;
  } cases[] = {{3, 3, 1}, {3, 0, 0}, {4, 4, 16}, {4, 0, 16}, {4, 2, 16}, {7, 1, 1},
               {7, 7, 1}, {7, 2, 1}, {7, 0, 0},  {5, 1, 0},  {3, 2, 0}};
  for (const auto& example : cases) {
    EXPECT_EQ(found.bus.CountSpeakers(example.type, example.kind), example.count)
        << example.type << "/" << example.kind;
  }
  // Both lack FPGA software: the exit asks about it.
  rig.prompts.answerYes = false;
  EXPECT_FALSE(rig.engine.ConfirmExit().allowed);
  EXPECT_EQ(rig.prompts.questions.size(), 1u);
}

TEST(NetworkScan, SavedPortTextIsReadAsItsLeadingNumber) {
  VirtualRig rig(3, std::nullopt);
  EXPECT_EQ(rig.engine.ReadSavedPort(), -1) << "nothing saved";
  for (const std::int32_t port : {7, 0, -1}) {
    rig.engine.SavePort(port);
    EXPECT_EQ(rig.store.stored, std::to_string(port));
    EXPECT_EQ(rig.engine.ReadSavedPort(), port);
  }
  const struct {
    std::string text;
    std::int32_t port;
  } cases[] = {
      {"COM3", 0},
      {"4abc", 4},
      {"+5", 5},
      {"-", 0},
      {"", -1},
      {"99999999999999999999", INT_MAX},
      {"-99999999999999999999", INT_MIN},
      {"9" + std::string(510, 'x'), 9},
      {"9" + std::string(511, 'x'), -1},  // with its zero it no longer fits
  };
  for (const auto& example : cases) {
    rig.store.stored = example.text;
    EXPECT_EQ(rig.engine.ReadSavedPort(), example.port) << example.text.substr(0, 24);
  }
}

}  // namespace
}  // namespace flashdesk
