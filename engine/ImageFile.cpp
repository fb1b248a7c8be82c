#include "engine/ImageFile.h"

#include <filesystem>
#include <system_error>

namespace flashdesk {

bool ImageFile::Open(const std::string& path) {
  Close();
  std::error_code error;
  // Directories and devices have no length worth trusting.
  if (!std::filesystem::is_regular_file(path, error))
    return false;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error)
    return false;
  file.reset(std::fopen(path.c_str(), "rb"));
  if (!file)
    return false;
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
