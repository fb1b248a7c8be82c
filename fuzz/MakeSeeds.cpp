// Writes the fuzz targets' seed files (seed-*) into FOLDER/<target>/, each from our own
// formats: replies as our simulator frames them, history lines as HistoryLine writes them,
// settings as QSettings writes them, our sample images, the simulator's documented options.
// Regression inputs (regress-*) are kept by hand beside them.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "log/ReplyCode.h"
#include "protocol/Commands.h"
#include "records/JsonDocuments.h"
#include "sim/FirmwareImage.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;
using namespace flashdesk;

void Write(const fs::path& folder, const std::string& name, const std::string& bytes) {
  fs::create_directories(folder);
  std::ofstream(folder / ("seed-" + name), std::ios::binary) << bytes;
}

// One step of the message layer target: a burst, then the take that op's low bits name.
enum Take : std::uint8_t { kBoot = 0, kIdentify = 1, kStatus = 2, kNone = 3 };
std::string Step(Take take, const Bytes& burst) {
  if (burst.size() < 63)
    return std::string(1, static_cast<char>(take | burst.size() << 2)) +
           std::string(burst.begin(), burst.end());
  const std::size_t sixteens = (burst.size() - 63 + 15) / 16;
  std::string step = {static_cast<char>(take | 63 << 2), static_cast<char>(sixteens)};
  step.append(burst.begin(), burst.end());
  return step.append(63 + 16 * sixteens - burst.size(), '\0');
}

void MessageLayerSeeds(const fs::path& folder) {
  const Bytes one = IdentificationReplyFrame(0, 1001, 4, 0, {{1, 1, 5}});
  const Bytes six = IdentificationReplyFrame(
      2, 0x0FFFFFFF, 127, 0, {{1, 1, 5}, {4, 2, 10}, {0, 1, 0}, {2, 1, 0}, {9, 9, 9}, {8, 1, 2}});
  Bytes statuses;
  for (std::uint8_t code = kReplyDone; code <= kReplyCountError + 1; ++code) {
    const Bytes frame = StatusReplyFrame(1, 1000 + code, code);
    statuses.insert(statuses.end(), frame.begin(), frame.end());
  }
  Bytes garbled = one;
  garbled[garbled.size() - 2] ^= 1;
  Bytes flood;
  while (flood.size() < 4200)
    flood.insert(flood.end(), statuses.begin(), statuses.end());
  const Bytes half(one.begin(), one.begin() + 9);
  const Bytes rest(one.begin() + 9, one.end());
  const Bytes status = StatusReplyFrame(0, 1001, kReplyReady);
  Write(folder, "identify-one-entry", Step(kIdentify, one));
  Write(folder, "identify-six-entries-keeps-four", Step(kIdentify, six));
  Write(folder, "identify-split-over-two-bursts", Step(kNone, half) + Step(kIdentify, rest));
  Write(folder, "identify-garbled-then-clean", Step(kIdentify, garbled) + Step(kIdentify, one));
  Write(folder, "status-every-code", Step(kStatus, statuses));
  Write(folder, "status-begun-identify-ends",
        Step(kStatus, Bytes(status.begin(), status.begin() + 5)) +
            Step(kIdentify, Bytes(status.begin() + 5, status.end())) + Step(kStatus, status));
  Write(folder, "boot-signal", Step(kBoot, {0xFE, 0x00}) + Step(kBoot, {0xFE, 0x01, 0x00}));
  Write(folder, "noise-then-replies",
        Step(kIdentify, {0xF0, 0x67, 0xF7, 0x12, 0xF0}) + Step(kIdentify, one) +
            Step(kStatus, status));
  Write(folder, "flood-beyond-the-ring", Step(kNone, flood) + Step(kStatus, statuses));
}

void HistoryLineSeeds(const fs::path& folder) {
  using namespace records;
  SpeakerOutcome passed{{1001, 4, "TARN-S1", {105, 210, std::nullopt, 100}}, Outcome::kPassed, {}};
  SpeakerOutcome failed{
      {268435455, 127, "", {0, 25755, 1, 25500}}, Outcome::kFailed, kReplyChecksumError};
  SpeakerOutcome wrongType{{7, 5, "TARN-LOW-1", {}}, Outcome::kWrongType, {}};
  SpeakerOutcome unlisted{{2000, std::nullopt, "", {}}, Outcome::kNoAnswer, {}};
  const std::string time = "2024-05-01T09:30:00Z";
  const std::string sha = "0be5de20f5f01ee4388aa35b73f8f2737203f2d0e6e6ecb066b03b292f5d7705";
  Write(folder, "one-passed",
        HistoryLine({time, {3, "/dev/ttyUSB3"}, "TarnS1V1.23.syx", sha, {passed}}));
  Write(folder, "every-outcome",
        HistoryLine(
            {time, {0, "COM0"}, "caf\xc3\xa9.syx", sha, {passed, failed, wrongType, unlisted}}));
  Write(folder, "port-by-path",
        HistoryLine({time, {std::nullopt, "/dev/ttyACM0"}, "a.syx", "", {}}));
  Write(folder, "no-port", HistoryLine({time, {}, "", "", {unlisted}}));
  // A file as a crash and an editor leave it: a broken-off line, an empty one, a CR LF line.
  const std::string one = HistoryLine({time, {3, "/dev/ttyUSB3"}, "a.syx", sha, {passed}});
  Write(folder, "file-with-broken-line",
        one + "\n" + one.substr(0, 40) + "\n\n" + one + "\r\n{\"schema_version\":1}\n" + one);
}

void SettingsFileSeeds(const fs::path& folder) {
  const std::pair<const char*, std::string> files[] = {
      {"port-only", "ComPort=7\n"},
      {"general-crlf-spaces", "[General]\r\n  ComPort = 7 \r\n"},
      {"quoted", "[General]\nComPort=\"7\"\nFirmwareFolder=\"/home/me/syx\"\n"},
      {"lower-case-section", "[general]\nComPort=7\n"},
      {"comments", "[General]\n;ComPort=8\n#\nComPort=7 ;x\n"},
      {"repeated-key", "[General]\nComPort=7\nComPort=8\n"},
      {"other-sections", "[Other]\nKey=a\n[General]\r\nX=1\r\nFirmwareFolder=/srv/syx\n[Z]\n"},
      {"before-any-section", "; mine\nX=1\n[Other]\nComPort=9"},
      {"malformed-line", "[General]\ngarbage\nComPort=7\n"},
      {"unclosed-section", "[General\nComPort=7\n"},
      {"negative-port", "[General]\nComPort=-1\n"},
  };
  for (const auto& [name, text] : files)
    Write(folder, name, text);
}

void ImageInfoSeeds(const fs::path& folder) {
  const auto image = [](const std::string& name, const Bytes& bytes) {
    return std::string(1, static_cast<char>(name.size())) + name +
           std::string(bytes.begin(), bytes.end());
  };
  // One of each kind: an application, the boot loader, the test software.
  for (const sim::SampleFile& sample : sim::SampleFirmwareFiles()) {
    for (const char* kept : {"TarnS1V1.23.syx", "bootKelV1.05.syx", "TestKelV1.00.syx"}) {
      if (sample.name == kept)
        Write(folder, sample.name, image(sample.name, sample.bytes));
    }
  }
  Write(folder, "two-bytes", image("x.syx", {0, 4}));
  Write(folder, "header-only", image("TarnS2V1.00.syx", {2, 3, 3, 1, 0, 'T', 'K'}));
  Write(folder, "one-payload-byte", image("Low1V2.5.syx", {2, 5, 3, 1, 0, 'T', 'K', 9}));
  Write(folder, "header-byte-above-127",
        image("bootKelV1.05.syx", {0x80, 0, 1, 1, 5, 'T', 'K', 1, 2}));
}

void SimOptionsSeeds(const fs::path& folder) {
  const std::pair<const char*, std::vector<std::string>> lines[] = {
      {"demo", {"--demo", "--link", "/tmp/fd/COM3", "--verbose"}},
      {"make-firmware", {"make-firmware", "/tmp/fd/syx"}},
      {"speakers-entries-faults",
       {"--link", "L", "--speaker", "1001:4", "--entry", "1:1.05", "--entry", "4:1.00", "--entry",
        "0:1.00", "--speaker", "1002:4:app:silent:bootsignal", "--checksum-error", "1:0",
        "--vanish-after", "3", "--boot-signal-period", "250"}},
      {"largest-serial-every-flag",
       {"--noise", "--save-uploads", "/tmp/up", "-v", "--link", "L", "--speaker",
        "268435455:127:boot:dead:split:twice:chatter:newserials:deaf"}},
      {"help", {"--help"}},
      {"version", {"--version"}},
      {"value-missing", {"--entry", "1:1.05", "--link"}},
  };
  for (const auto& [name, arguments] : lines) {
    std::string text;
    for (const std::string& argument : arguments)
      text += (text.empty() ? "" : std::string(1, '\0')) + argument;
    Write(folder, name, text);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds FOLDER (fuzz/corpus)\n");
    return 2;
  }
  const fs::path corpus = argv[1];
  MessageLayerSeeds(corpus / "message_layer");
  HistoryLineSeeds(corpus / "history_line");
  SettingsFileSeeds(corpus / "settings_file");
  ImageInfoSeeds(corpus / "image_info");
  SimOptionsSeeds(corpus / "sim_options");
  return 0;
}
