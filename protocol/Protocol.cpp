#include "protocol/Protocol.h"

namespace flashdesk {

void PackGroups(std::uint32_t value, int k, std::uint8_t* out) {
  for (int i = 0; i < k; ++i) {
    out[i] = static_cast<std::uint8_t>((value >> (7 * (k - 1 - i))) & 0x7F);
  }
}

std::uint32_t UnpackGroups(const std::uint8_t* in, int k) {
  std::uint32_t value = 0;
  for (int i = 0; i < k; ++i) {
    value = (value << 7) | in[i];
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

}  // namespace flashdesk
