#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace flashdesk::platform {

// SHA-256 of a byte stream fed in pieces of any size, by the system's own implementation:
// Nettle on POSIX, CNG (bcrypt.dll) on Windows.
class Sha256 {
 public:
  Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  ~Sha256();

  void Add(const std::uint8_t* bytes, std::size_t count);
  // The digest as 64 lowercase hex digits, or empty when the system could not hash; the object
  // then starts over.
  std::string HexDigest();

 private:
  struct State;
  std::unique_ptr<State> state;
};

// 32 bytes as 64 lowercase hex digits.
std::string HexOf(const std::uint8_t* digest, std::size_t count);

}  // namespace flashdesk::platform
