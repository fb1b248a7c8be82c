#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

#include "application/Session.h"
#include "application/Verdict.h"
#include "platform/Sha256.h"
#include "sim/FirmwareImage.h"
#include "testing/EngineRig.h"
#include "testing/HoldingClock.h"

namespace flashdesk {
namespace {

using testing_support::VirtualRig;

TEST(UploadVerdict, SucceedsOnlyWhenSomeSpeakerTookTheImageAndNoneIsLeftUnfinished) {
  constexpr std::int32_t kA = 1001;
  constexpr std::int32_t kB = 1002;
  const struct {
    const char* label;
    bool done;
    std::vector<LogEvent> events;
    bool succeeded;
    bool nobodyTookIt;
    std::vector<std::int32_t> identified = {};
  } cases[] = {
      {"both identified took it", true, {{kA, 0}, {kB, 0}}, true, false, {kA, kB}},
      {"an identified speaker never answered", true, {{kA, 0}}, false, false, {kA, kB}},
      {"only line noise", true, {}, false, true, {kA}},
      {"both took it", true, {{kA, kReplyReady}, {kB, kReplyReady}, {kA, 0}, {kB, 0}}, true, false},
      {"one took it, the other not its model", true, {{kA, kReplyDone}, {kB, 2}}, true, false},
      {"nobody answered", true, {}, false, true},
      {"every speaker another model", true, {{kA, kReplyReady}, {kA, 2}}, false, true},
      {"one never finished", true, {{kA, kReplyDone}, {kB, kReplyReady}}, false, false},
      {"errors in every attempt", false, {{kA, kReplyDone}, {kB, 4}}, false, false},
      {"never got going", false, {}, false, false},
  };
  for (const auto& example : cases) {
    UploadOutcome outcome;
    outcome.done = example.done;
    outcome.events = example.events;
    for (const std::int32_t serial : example.identified) {
      SpeakerRecord record;
      PackGroups(static_cast<std::uint32_t>(serial), 4, record.serial);
      outcome.bus.speakers.push_back(record);
    }
    const application::UploadVerdict verdict = application::Judge(outcome);
    EXPECT_EQ(verdict.succeeded, example.succeeded) << example.label;
    EXPECT_EQ(verdict.nobodyTookIt, example.nobodyTookIt) << example.label;
    EXPECT_STREQ(verdict.status, example.succeeded ? "Status: Upload Complete"
                                                   : "Status: One Or More Errors May Have Occoured")
        << example.label;
  }
}

// Keeps what the worker threads hand over.
class Results : public application::ResultListener {
 public:
  void ScanFinished(const application::ScanResult& result) override {
    std::lock_guard<std::mutex> guard(lock);
    scans.push_back(result);
  }
  void UploadStarted() override { uploadStarted = true; }
  void UploadFinished(const application::UploadResult& result) override {
    std::lock_guard<std::mutex> guard(lock);
    upload = result;
  }
  std::size_t Scans() {
    std::lock_guard<std::mutex> guard(lock);
    return scans.size();
  }
  bool Uploaded() {
    std::lock_guard<std::mutex> guard(lock);
    return upload.has_value();
  }

  std::mutex lock;
  std::vector<application::ScanResult> scans;
  std::atomic<bool> uploadStarted{false};
  std::optional<application::UploadResult> upload;
};

// Serial and model of each speaker, as identified.
std::vector<std::string> SpeakersOf(const std::vector<records::SpeakerOutcome>& outcomes) {
  std::vector<std::string> speakers;
  for (const records::SpeakerOutcome& outcome : outcomes)
    speakers.push_back(std::to_string(outcome.speaker.serial) + " " + outcome.speaker.model);
  return speakers;
}

TEST(Session, TheRecordedHashIsOfTheBytesSentWhateverThePathNamesAfterwards) {
  VirtualRig rig;
  rig.bus.AddSpeaker(VirtualRig::CompleteSpeaker(1001));
  testing_support::TempFolder folder;
  testing_support::SetEnvironment(testing_support::kStateVariable, folder.path.string());
  const std::vector<std::uint8_t> sent = sim::BuildFirmwareImage(kKindApplication, 4, 1, 0, 2000);
  const std::string image = folder.Write("app.syx", sent);
  const std::string replacement =
      folder.Write("new.syx", sim::BuildFirmwareImage(kKindApplication, 4, 9, 0, 2000));
  platform::Sha256 sha;
  sha.Add(sent.data(), sent.size());
  const std::string sentHash = sha.HexDigest();

  application::Session session({rig.line, rig.line, rig.store, rig.prompts}, nullptr);
  session.Scan();
  testing_support::RecordingProgress progress;
  // Replaced as an editor saves: a new file renamed over the old name. Windows refuses to
  // rename over an open file, and then nothing changes.
  progress.onReport = [&] {
    std::error_code ignored;
    if (progress.positions.back() >= 50)
      std::filesystem::rename(replacement, image, ignored);
  };
  session.SetProgressTarget(&progress);
  const application::UploadResult result = session.Upload(image, nullptr);

  EXPECT_TRUE(result.facts.succeeded);
  EXPECT_EQ(rig.bus.Speaker(0).upload.payload,
            std::vector<std::uint8_t>(sent.begin() + 7, sent.end()));
  EXPECT_EQ(result.facts.file.sha256, sentHash);
  EXPECT_EQ(result.record.sha256, sentHash);
}

TEST(Session, AnUploadAskedForDuringASearchWaitsForItAndGoesToTheSpeakersItFound) {
  sim::SpeakerBus bus;
  sim::VirtualLine line(bus, 3);
  testing_support::HoldingClock clock(line);
  testing_support::MemoryStore store;
  store.stored = "3";
  testing_support::ScriptedPrompts prompts;
  testing_support::TempFolder folder;
  const std::string image =
      folder.Write("app.syx", sim::BuildFirmwareImage(kKindApplication, 4, 1, 0, 200));
  bus.AddSpeaker(VirtualRig::CompleteSpeaker(1001));
  Results results;
  application::Session session({line, clock, store, prompts}, &results);
  session.StartScan();
  ASSERT_TRUE(testing_support::WaitFor([&results] { return results.Scans() == 1; }));

  // The search is held once it has asked who is there: the table is being rebuilt.
  bus.AddSpeaker(VirtualRig::CompleteSpeaker(1002));
  const auto requests = [&bus] {
    const std::vector<sim::RecordedFrame> frames = bus.Frames();
    return std::count_if(frames.begin(), frames.end(), [](const sim::RecordedFrame& frame) {
      return frame.command == kIdentifyRequest;
    });
  };
  const auto before = requests();
  clock.HoldWhen([&requests, before] { return requests() > before; });
  ASSERT_TRUE(session.SearchAgain(std::nullopt));
  ASSERT_TRUE(testing_support::WaitFor([&clock] { return clock.Holding(); }));
  const std::int64_t heldAt = line.NowMs();
  ASSERT_TRUE(session.StartUpload(image));
  EXPECT_FALSE(session.SearchAgain(std::nullopt)) << "one search at a time";
  // The upload has begun and waits for the engine: its polls move the clock on.
  ASSERT_TRUE(testing_support::WaitFor([&results] { return results.uploadStarted.load(); }));
  ASSERT_TRUE(testing_support::WaitFor([&line, heldAt] { return line.NowMs() >= heldAt + 50; }));
  clock.Release();
  ASSERT_TRUE(testing_support::WaitFor([&results] { return results.Uploaded(); }));

  const application::UploadResult& upload = *results.upload;
  const std::vector<std::string> found = {"1001 TARN-S1", "1002 TARN-S1"};
  EXPECT_EQ(SpeakersOf(upload.record.speakers), found);
  EXPECT_EQ(SpeakersOf(upload.facts.speakers), found);
  EXPECT_TRUE(upload.facts.succeeded);
  EXPECT_EQ(upload.facts.port.number, 3);
  ASSERT_EQ(results.Scans(), 2u);
  EXPECT_EQ(results.scans[1].speakers.size(), 2u);
  for (int speaker = 0; speaker < 2; ++speaker)
    EXPECT_TRUE(bus.Speaker(speaker).upload.complete) << speaker;
}

// A front end's hand-over may take a while (a window posts, then its worker is put aside);
// once a result has arrived, the next search or upload is taken, not refused.
class SlowHandOver : public Results {
 public:
  void ScanFinished(const application::ScanResult& result) override {
    Results::ScanFinished(result);
    std::this_thread::sleep_for(kHandOver);
  }
  void UploadFinished(const application::UploadResult& result) override {
    Results::UploadFinished(result);
    std::this_thread::sleep_for(kHandOver);
  }
  static constexpr std::chrono::milliseconds kHandOver{300};
};

TEST(Session, TheNextSearchOrUploadIsTakenAsSoonAsTheResultHasArrived) {
  VirtualRig rig;
  rig.bus.AddSpeaker(VirtualRig::CompleteSpeaker(1001));
  testing_support::TempFolder folder;
  testing_support::SetEnvironment(testing_support::kStateVariable, folder.path.string());
  const std::string image =
      folder.Write("app.syx", sim::BuildFirmwareImage(kKindApplication, 4, 1, 0, 200));
  SlowHandOver results;
  application::Session session({rig.line, rig.line, rig.store, rig.prompts}, &results);
  session.StartScan();
  ASSERT_TRUE(testing_support::WaitFor([&results] { return results.Scans() == 1; }));
  ASSERT_TRUE(session.SearchAgain(std::nullopt));
  ASSERT_TRUE(testing_support::WaitFor([&results] { return results.Scans() == 2; }));
  ASSERT_TRUE(session.StartUpload(image));
  ASSERT_TRUE(testing_support::WaitFor([&results] { return results.Uploaded(); }));
  EXPECT_FALSE(session.Uploading());
  ASSERT_TRUE(session.SearchAgain(std::nullopt));
  ASSERT_TRUE(testing_support::WaitFor([&results] { return results.Scans() == 3; }));
}

}  // namespace
}  // namespace flashdesk
