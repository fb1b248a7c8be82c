#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace flashdesk::records {

// SHA-256 of a byte stream fed in pieces of any size.
class Sha256 {
 public:
  Sha256();
  void Add(const std::uint8_t* bytes, std::size_t count);
  // The digest as 64 lowercase hex digits; the object then starts over.
  std::string HexDigest();

 private:
  void Compress(const std::uint8_t* block);

  std::uint32_t state[8];
  std::uint8_t pending[64];
  std::size_t pendingCount = 0;
  std::uint64_t totalBytes = 0;
};

}  // namespace flashdesk::records
