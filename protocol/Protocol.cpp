#include "protocol/Protocol.h"

#include <array>
#include <string>

namespace flashdesk {

void PackGroups(std::uint32_t value, int k, std::uint8_t* out) {
  for (int i = 0; i < k; ++i) {
    out[i] = static_cast<std::uint8_t>((value >> (7 * (k - 1 - i))) & 0x7F);
  }
}

std::uint32_t UnpackGroups(const std::uint8_t* in, int k) {
  std::uint32_t value = 0;
  for (int i = 0; i < k; ++i) {
    value = (value << 7) | (in[i] & 0x7Fu);
  }
  return value;
}

std::uint8_t DataChecksum(const std::uint8_t* bytes, std::int32_t n) {
  std::uint8_t sum = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    sum = static_cast<std::uint8_t>(sum + bytes[i]);
  }
  return sum & 0x7F;
}

std::int32_t BlockSizeFor(std::uint8_t headerByte0) {
  switch (headerByte0) {
    case 0:
      return 0x1000;
    case 1:
      return 0x4000;
    case 2:
      return 0xA000;
    default:
      return 0x16000;
  }
}

namespace {

constexpr int kKnownCodes = 6;

// One word per possible byte value, built once, so any code a speaker sends has a word that
// lives as long as the program.
std::array<std::string, 256> BuildReplyWords() {
  std::array<std::string, 256> words;
  const char* known[kKnownCodes] = {"DONE",         "READY",          "TYPE ERROR",
                                    "SECTOR ERROR", "CHECKSUM ERROR", "COUNT ERROR"};
  for (int code = 0; code < 256; ++code) {
    words[code] = code < kKnownCodes ? known[code] : "UNKNOWN CODE " + std::to_string(code);
  }
  return words;
}

}  // namespace

const char* ReplyWord(std::uint8_t code) {
  static const std::array<std::string, 256> words = BuildReplyWords();
  return words[code].c_str();
}

}  // namespace flashdesk
