#include "records/ImageInfo.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "catalog/FirmwareCatalog.h"
#include "engine/ImageFile.h"
#include "engine/Pacing.h"
#include "platform/FileSearch.h"
#include "platform/Sha256.h"
#include "protocol/Models.h"
#include "protocol/Protocol.h"

namespace flashdesk::records {
namespace {

// The longest file an upload would send: the header and the longest payload it can announce.
constexpr std::int64_t kLargestImage = ImageHead::kHeaderBytes + ImageHead::kLargestPayload;

// Measures the file, then reads its first header bytes and, for a file no longer than an
// upload could send, its digest. Open checks the type and size before any byte is read, so a
// huge file or a device costs no more than its header.
bool ReadImage(const std::string& path, ImageInfo& info) {
  ImageFile file;
  std::string problem;
  if (!file.Open(path, problem))
    return false;
  const bool sendableSize = file.Length() <= kLargestImage;
  const std::int64_t wanted = sendableSize ? file.Length() : 3;
  platform::Sha256 digest;
  std::uint8_t buffer[65536];
  std::uint8_t header[3] = {};
  std::int64_t got = 0;
  while (got < wanted) {
    const std::int32_t count = file.Read(
        buffer, static_cast<std::int32_t>(std::min<std::int64_t>(sizeof buffer, wanted - got)));
    if (count == 0)
      break;
    for (std::int64_t i = got; i < 3 && i < got + count; ++i)
      header[i] = buffer[i - got];
    digest.Add(buffer, static_cast<std::size_t>(count));
    got += count;
  }
  // A file that shrank or failed part-way has no digest worth showing.
  if (got != wanted)
    return false;
  info.fileBytes = file.Length();
  if (sendableSize)
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

ImageInfo DescribeImage(const std::string& path) {
  ImageInfo info;
  info.path = path;
  info.catalog = ReadCatalogName(FileNameOf(path));
  info.readable = ReadImage(path, info);
  info.refusal = ImageRefusal(path);
  info.refused = !info.refusal.empty();
  info.payloadBytes = std::max<std::int64_t>(0, info.fileBytes - ImageHead::kHeaderBytes);
  if (info.sentHeader)
    info.blockSize = BlockSizeFor((*info.sentHeader)[0]);
  info.dataBlocks = (info.payloadBytes + kFileBytesPerBlock - 1) / kFileBytesPerBlock;
  if (!info.refused)
    info.attemptMs = pacing::AttemptMilliseconds(info.dataBlocks);
  return info;
}

FileFacts FileFactsOf(const ImageInfo& image) {
  return {image.path, image.readable ? std::optional<std::int64_t>(image.fileBytes) : std::nullopt,
          image.sha256, image.dataBlocks};
}

}  // namespace flashdesk::records
