#include "engine/ImageFile.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace flashdesk {

bool ImageFile::Open(const std::string& path, std::string& problem) {
  Close();
  digest.clear();
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error) {
    problem = error.message();
    return false;
  }
  // Directories, devices and pipes have no length worth trusting, and a pipe may block.
  if (!std::filesystem::is_regular_file(status)) {
    problem = "not a regular file";
    return false;
  }
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) {
    problem = error.message();
    return false;
  }
  file.reset(std::fopen(path.c_str(), "rb"));
  if (!file) {
    problem = std::generic_category().message(errno);
    return false;
  }
  length = static_cast<std::int64_t>(size);
  position = 0;
  hash.HexDigest();  // starts over
  return true;
}

void ImageFile::Close() {
  if (file && digestOnClose) {
    std::uint8_t rest[4096];
    while (!AtEnd() && Read(rest, static_cast<std::int32_t>(std::min<std::int64_t>(
                                      sizeof rest, length - position))) > 0) {
    }
    const std::string read = hash.HexDigest();
    digest = AtEnd() ? read : std::string();
  }
  file.reset();
  digestOnClose = false;
  length = 0;
  position = 0;
}

std::int32_t ImageFile::Read(std::uint8_t* destination, std::int32_t count) {
  if (!file || count <= 0)
    return 0;
  const std::size_t got = std::fread(destination, 1, static_cast<std::size_t>(count), file.get());
  hash.Add(destination, got);
  position += static_cast<std::int64_t>(got);
  return static_cast<std::int32_t>(got);
}

bool OpenSendableImage(ImageFile& file, const std::string& path, ImageHead& head,
                       std::string& problem) {
  if (!file.Open(path, problem))
    return false;
  const std::int64_t payload = file.Length() - ImageHead::kHeaderBytes;
  if (payload < 1) {
    problem = "too short: " + std::to_string(file.Length()) +
              " bytes hold no payload after the 7-byte header";
  } else if (payload > ImageHead::kLargestPayload) {
    problem = "too long: a payload of " + std::to_string(payload) + " bytes exceeds " +
              std::to_string(ImageHead::kLargestPayload);
  } else if (file.Read(head.header, ImageHead::kHeaderBytes) != ImageHead::kHeaderBytes) {
    problem = "the header could not be read";
  } else if (head.header[0] > 0x7F || head.header[1] > 0x7F || head.header[2] > 0x7F) {
    problem = "header bytes 0 to 2 must be below 0x80";
  } else {
    head.payloadLength = static_cast<std::int32_t>(payload);
    file.DigestOnClose();
    return true;
  }
  file.Close();
  return false;
}

std::string ImageRefusal(const std::string& path) {
  ImageFile file;
  ImageHead head;
  std::string problem;
  if (OpenSendableImage(file, path, head, problem))
    return {};
  return path + ": " + problem;
}

}  // namespace flashdesk
