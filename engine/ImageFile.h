#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/Sha256.h"

namespace flashdesk {

// A firmware image opened read-only in binary mode. Closes itself when it goes out of scope,
// so no path through the upload can leave the file open. Hashes what it reads, so the digest
// is of the bytes the upload read through this handle, whatever the path names afterwards.
class ImageFile {
 public:
  ImageFile() = default;
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;

  // Opens path and measures it; false with the reason in problem when it is no regular file
  // or cannot be opened or measured (the file then stays closed).
  bool Open(const std::string& path, std::string& problem);
  // Closes; after DigestOnClose, first reads what is left of the measured length into the
  // digest.
  void Close();
  // Makes Close finish the digest: for a file worth reading whole, unlike a refused one.
  void DigestOnClose() { digestOnClose = true; }
  // SHA-256 of the file closed last after DigestOnClose, as this handle read it; empty when it
  // could not be read to its measured length, or without DigestOnClose.
  const std::string& Digest() const { return digest; }
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
  platform::Sha256 hash;
  bool digestOnClose = false;
  std::string digest;
};

// What an upload reads of an image before its payload.
struct ImageHead {
  static constexpr std::int32_t kHeaderBytes = 7;
  // The payload length travels as three 7-bit groups.
  static constexpr std::int32_t kLargestPayload = 2097151;

  std::uint8_t header[kHeaderBytes] = {};
  std::int32_t payloadLength = 0;
};

// Opens path as an image the upload can send: a regular file holding the 7-byte header, 1 to
// kLargestPayload payload bytes and header bytes 0 to 2 below 0x80 (they travel unchanged in a
// 7-bit frame). True with file at the first payload byte, digested on close; false, with file
// closed and the reason in problem, otherwise.
bool OpenSendableImage(ImageFile& file, const std::string& path, ImageHead& head,
                       std::string& problem);

// Why an upload would refuse the file at path, after the path and ": "; empty when it would
// send it. Reads no more than the header.
std::string ImageRefusal(const std::string& path);

}  // namespace flashdesk
