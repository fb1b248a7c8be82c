#include "engine/ImageFile.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace flashdesk {

bool ImageFile::Open(const std::string& path, std::string& problem) {
  Close();
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
  return true;
}

void ImageFile::Close() {
  file.reset();
  length = 0;
  position = 0;
}

std::int32_t ImageFile::Read(std::uint8_t* destination, std::int32_t count) {
  if (!file || count <= 0)
    return 0;
  const std::size_t got = std::fread(destination, 1, static_cast<std::size_t>(count), file.get());
  position += static_cast<std::int64_t>(got);
  return static_cast<std::int32_t>(got);
}

}  // namespace flashdesk
