#include "records/ImageInfo.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "catalog/FirmwareCatalog.h"
#include "engine/ImageFile.h"
#include "engine/SpeakerNetwork.h"
#include "platform/FileSearch.h"
#include "protocol/Models.h"
#include "protocol/Protocol.h"
#include "records/Sha256.h"

namespace flashdesk::records {
namespace {

// The upload's pauses, in milliseconds, and how often it reads.
constexpr std::int64_t kStartPauseMs = 1000;
constexpr std::int64_t kStartReads = 4;
constexpr std::int64_t kReadPauseMs = 100;
constexpr std::int64_t kBlockPauseMs = 100;
constexpr std::int64_t kTailPauseMs = 500;
constexpr std::int64_t kTailReads = 8;
constexpr std::int64_t kVerdictPauseMs = 1;
// A burst read, and discarding stale input, end after this long without a byte: the port's
// one-byte read time-out.
constexpr std::int64_t kSilenceMs = 20;
constexpr std::int64_t kInputDiscards = 2;

// Services the image check never calls: opening an image touches no port, setting or user.
class NoSettings : public platform::SettingsStore {
 public:
  bool OpenSection() override { return false; }
  bool ReadValue(const std::string&, std::string&) override { return false; }
  bool WriteValue(const std::string&, const std::string&) override { return false; }
};

class NoPrompts : public platform::Prompts {
 public:
  void ShowMessage(const std::string&) override {}
  bool AskYesNo(const std::string&) override { return false; }
};

// Asked of the engine itself, so info refuses exactly what an upload refuses; why it would
// refuse the file, or empty.
std::string EngineRefusal(const std::string& path) {
  NoSettings settings;
  NoPrompts prompts;
  SpeakerNetwork engine{{platform::SystemSerialApi(), platform::SystemClock(), settings, prompts}};
  engine.OpenImage(path);
  engine.CloseImage();
  return engine.ImageProblem();
}

// Reads the whole file once: its size, its first header bytes and its digest.
bool ReadWholeFile(const std::string& path, ImageInfo& info) {
  ImageFile file;
  std::string problem;
  if (!file.Open(path, problem))
    return false;
  Sha256 digest;
  std::uint8_t buffer[65536];
  std::uint8_t header[3] = {};
  std::int64_t got = 0;
  while (const std::int32_t count = file.Read(buffer, sizeof buffer)) {
    for (std::int64_t i = got; i < 3 && i < got + count; ++i)
      header[i] = buffer[i - got];
    digest.Add(buffer, static_cast<std::size_t>(count));
    got += count;
  }
  // A file that shrank or failed part-way has no digest worth showing.
  if (got != file.Length())
    return false;
  info.fileBytes = got;
  info.sha256 = digest.HexDigest();
  if (got >= 3)
    info.sentHeader = std::array<std::uint8_t, 3>{header[0], header[1], header[2]};
  return true;
}

}  // namespace

std::optional<CatalogReading> ReadCatalogName(const std::string& fileName) {
  const auto offers = [&fileName](const std::string& pattern) {
    return platform::WildcardMatches(pattern + ".syx", fileName);
  };
  std::optional<CatalogReading> reading;
  for (const SpeakerModel& model : kSpeakerModels) {
    const FirmwarePatterns patterns = FirmwareCatalog::PatternsFor(model.type);
    if (offers(patterns.application)) {
      reading = CatalogReading{kKindApplication, model.type, 0};
      break;
    }
    if (offers(patterns.bootLoader))
      reading = CatalogReading{kKindBoot, std::nullopt, 0};
    else if (offers(patterns.testSoftware))
      reading = CatalogReading{kKindTest, std::nullopt, 0};
  }
  if (reading)
    reading->version = FirmwareCatalog::VersionFromName(fileName);
  return reading;
}

std::string FileNameOf(const std::string& path) {
#ifdef _WIN32
  const char* separators = "/\\";
#else
  const char* separators = "/";
#endif
  const std::size_t cut = path.find_last_of(separators);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::int64_t AttemptMilliseconds(std::int64_t dataBlocks) {
  const std::int64_t quietRead = kSilenceMs + kReadPauseMs;
  return kInputDiscards * kSilenceMs + kStartPauseMs + kStartReads * quietRead +
         dataBlocks * (kBlockPauseMs + kSilenceMs) + kTailPauseMs + kTailReads * quietRead +
         kVerdictPauseMs;
}

ImageInfo DescribeImage(const std::string& path) {
  ImageInfo info;
  info.path = path;
  info.catalog = ReadCatalogName(FileNameOf(path));
  info.readable = ReadWholeFile(path, info);
  info.refusal = EngineRefusal(path);
  info.refused = !info.refusal.empty();
  info.payloadBytes = std::max<std::int64_t>(0, info.fileBytes - SpeakerNetwork::kHeaderBytes);
  if (info.sentHeader)
    info.blockSize = BlockSizeFor((*info.sentHeader)[0]);
  info.dataBlocks = (info.payloadBytes + kFileBytesPerBlock - 1) / kFileBytesPerBlock;
  if (!info.refused)
    info.attemptMs = AttemptMilliseconds(info.dataBlocks);
  return info;
}

}  // namespace flashdesk::records
