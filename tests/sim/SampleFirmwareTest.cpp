#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "sim/FirmwareImage.h"
#include "sim/SpeakerBus.h"
#include "tests/sim/BusDriver.h"

namespace flashdesk::sim {
namespace {

namespace fs = std::filesystem;
using testing::BusDriver;

struct Model {
  std::uint8_t type;
  std::string prefix;
};
const Model kModels[] = {{3, "TarnS2V"}, {4, "TarnS1V"},  {5, "Low1V"},  {6, "Low2V"},
                         {8, "TarnS3V"}, {10, "TarnS4V"}, {12, "Low3V"}, {13, "Low4V"}};

// The version the firmware list reads from a name: three digits after the last uppercase V.
int VersionInName(const std::string& name) {
  const std::string digits = name.substr(name.rfind('V') + 1);
  return (digits[0] - '0') * 100 + (digits[2] - '0') * 10 + (digits[3] - '0');
}

TEST(SampleFirmware, EveryModelHasImagesItsSpeakersAcceptAndOthersRefuse) {
  const std::vector<SampleFile> files = SampleFirmwareFiles();
  std::set<std::string> names;
  const std::regex pattern(R"((TarnS[1-4]|Low[1-4]|bootKel|TestKel)V\d\.\d\d\.syx)");
  for (const SampleFile& file : files) {
    EXPECT_TRUE(std::regex_match(file.name, pattern)) << file.name;
    EXPECT_TRUE(names.insert(file.name).second) << file.name;
    EXPECT_LT(file.bytes.size(), 8192u) << file.name;
    // The version in the name is the one the speaker will report.
    EXPECT_EQ(file.bytes[kImageHeaderLength] * 100 + file.bytes[kImageHeaderLength + 1],
              VersionInName(file.name))
        << file.name;
    for (int i = 0; i < 3; ++i) {
      EXPECT_LT(file.bytes[i], 0x80) << file.name;
    }
  }
  EXPECT_TRUE(names.count("TarnS1V1.23.syx"));
  EXPECT_TRUE(names.count("bootKelV1.05.syx"));
  EXPECT_TRUE(names.count("TestKelV1.00.syx"));

  for (const Model& model : kModels) {
    for (const SampleFile& file : files) {
      const bool shared = file.name.rfind("bootKel", 0) == 0 || file.name.rfind("TestKel", 0) == 0;
      const bool ours = shared || file.name.rfind(model.prefix, 0) == 0;
      SpeakerBus bus;
      BusDriver pc(bus);
      SpeakerConfig speaker;
      speaker.serial = 100 + model.type;
      speaker.type = model.type;
      bus.AddSpeaker(speaker);
      const ErrorLog log = pc.Upload(file.bytes);
      ASSERT_FALSE(log.Events().empty()) << file.name;
      EXPECT_EQ(log.Events().back().code, ours ? kReplyDone : kReplyTypeError)
          << file.name << " on type " << int{model.type};
      if (ours) {
        const SoftwareEntry installed = bus.Speaker(0).software.back();
        EXPECT_EQ(installed.major * 100 + installed.minor, VersionInName(file.name));
      }
    }
  }
}

TEST(SampleFirmware, IsWrittenToAFolderOrFailsWithAReason) {
  const fs::path folder =
      fs::temp_directory_path() /
      ("flashdesk-syx-" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::remove_all(folder);
  std::string error;
  ASSERT_TRUE(WriteSampleFirmware((folder / "syx").string(), error)) << error;
  for (const SampleFile& file : SampleFirmwareFiles()) {
    std::ifstream in(folder / "syx" / file.name, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, file.bytes) << file.name;
  }
  std::ofstream(folder / "plain") << "x";
  EXPECT_FALSE(WriteSampleFirmware((folder / "plain" / "syx").string(), error));
  EXPECT_NE(error.find("plain"), std::string::npos) << error;
  fs::remove_all(folder);
}

}  // namespace
}  // namespace flashdesk::sim
