#include "protocol/Frame.h"

#include "protocol/Protocol.h"

namespace flashdesk {

std::int32_t Seal(std::uint8_t* frame) {
  std::uint8_t x = 0;
  std::int32_t k = 0;
  while (frame[k] != kFrameEnd) {
    x ^= frame[k];
    ++k;
  }
  frame[k] = static_cast<std::uint8_t>((x + k + 2) & 0x7F);
  frame[k + 1] = kFrameEnd;
  return k + 2;
}

std::int32_t FrameCommand(std::uint8_t command, std::uint8_t destination, std::uint8_t* frame) {
  frame[0] = kFrameStart;
  frame[1] = destination;
  frame[2] = command;
  return Seal(frame);
}

bool BodyChecksumHolds(const std::uint8_t* body, std::int32_t length) {
  if (length < 1) {
    return false;
  }
  std::uint8_t x = kFrameStart;
  for (std::int32_t i = 0; i < length - 1; ++i) {
    x ^= body[i];
  }
  return body[length - 1] == ((x + length + 2) & 0x7F);
}

}  // namespace flashdesk
