#include "platform/Sha256.h"

namespace flashdesk::platform {

std::string HexOf(const std::uint8_t* digest, std::size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text += kDigits[digest[i] >> 4];
    text += kDigits[digest[i] & 0x0F];
  }
  return text;
}

}  // namespace flashdesk::platform
