#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace flashdesk {

// A firmware image opened read-only in binary mode. Closes itself when it goes out of scope,
// so no path through the upload can leave the file open.
class ImageFile {
 public:
  ImageFile() = default;
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;

  // Opens path and measures it; false with the reason in problem when it is no regular file
  // or cannot be opened or measured (the file then stays closed).
  bool Open(const std::string& path, std::string& problem);
  void Close();
  bool IsOpen() const { return file != nullptr; }

  // Length of the file as measured at Open, in bytes.
  std::int64_t Length() const { return length; }
  // Bytes read since Open.
  std::int64_t Position() const { return position; }
  bool AtEnd() const { return position >= length; }
  // Reads up to count bytes; the number read, fewer only at the end of the file or on an
  // error.
  std::int32_t Read(std::uint8_t* destination, std::int32_t count);

 private:
  struct Closer {
    void operator()(std::FILE* handle) const { std::fclose(handle); }
  };
  std::unique_ptr<std::FILE, Closer> file;
  std::int64_t length = 0;
  std::int64_t position = 0;
};

}  // namespace flashdesk
