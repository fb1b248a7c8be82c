#include "sim/FirmwareImage.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "protocol/Models.h"
#include "protocol/Protocol.h"

namespace flashdesk::sim {

namespace {

// Small enough that a demo upload takes seconds: 2048 bytes are 32 blocks.
constexpr std::int32_t kSampleBodyLength = 2046;

std::string VersionedName(const char* prefix, std::uint8_t major, std::uint8_t minor) {
  char name[64];
  std::snprintf(name, sizeof name, "%s%u.%02u.syx", prefix, unsigned{major}, unsigned{minor});
  return name;
}

}  // namespace

std::uint8_t AreaForKind(std::uint8_t kind) {
  switch (kind) {
    case kKindBoot:
      return 0;
    case kKindTest:
      return 1;
    case kKindApplication:
      return 2;
    default:
      return 3;
  }
}

std::vector<std::uint8_t> BuildFirmwareImage(std::uint8_t kind, std::uint8_t model,
                                             std::uint8_t major, std::uint8_t minor,
                                             std::int32_t bodyLength) {
  std::vector<std::uint8_t> image = {
      AreaForKind(kind), model, kind, major, minor, 'T', 'K', major, minor};
  // A simple generator mixed with the version, so different images differ throughout.
  std::uint32_t state = 0x9E3779B9u ^ (std::uint32_t{kind} << 16) ^ (std::uint32_t{model} << 8) ^
                        (std::uint32_t{major} << 4) ^ minor;
  for (std::int32_t i = 0; i < bodyLength; ++i) {
    state = state * 1664525u + 1013904223u;
    image.push_back(static_cast<std::uint8_t>(i < 256 ? i : state >> 24));
  }
  return image;
}

std::vector<SampleFile> SampleFirmwareFiles() {
  std::vector<SampleFile> files;
  for (const SpeakerModel& model : kSpeakerModels) {
    for (const auto& [major, minor] : {std::pair<std::uint8_t, std::uint8_t>{1, 0}, {1, 23}}) {
      files.push_back(
          {VersionedName(model.filePrefix, major, minor),
           BuildFirmwareImage(kKindApplication, model.type, major, minor, kSampleBodyLength)});
    }
  }
  files.push_back({VersionedName(kBootFilePrefix, 1, 5),
                   BuildFirmwareImage(kKindBoot, kAnyModel, 1, 5, kSampleBodyLength)});
  files.push_back({VersionedName(kTestFilePrefix, 1, 0),
                   BuildFirmwareImage(kKindTest, kAnyModel, 1, 0, kSampleBodyLength)});
  return files;
}

bool WriteSampleFirmware(const std::string& folder, std::string& error) {
  std::error_code code;
  std::filesystem::create_directories(folder, code);
  if (code) {
    error = "cannot create " + folder + ": " + code.message();
    return false;
  }
  for (const SampleFile& file : SampleFirmwareFiles()) {
    const std::filesystem::path path = std::filesystem::path(folder) / file.name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.bytes.data()),
              static_cast<std::streamsize>(file.bytes.size()));
    out.close();
    if (!out) {
      error = "cannot write " + path.string();
      return false;
    }
  }
  return true;
}

}  // namespace flashdesk::sim
