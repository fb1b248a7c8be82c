#pragma once

#include <cstdint>

namespace flashdesk {

// ReplyCode values of the upload status reply.
constexpr std::uint8_t kReplyDone = 0;
constexpr std::uint8_t kReplyReady = 1;
constexpr std::uint8_t kReplyTypeError = 2;
constexpr std::uint8_t kReplySectorError = 3;
constexpr std::uint8_t kReplyChecksumError = 4;
constexpr std::uint8_t kReplyCountError = 5;

// A transfer error ends the data phase and makes the upload try again.
inline bool IsTransferError(std::uint8_t code) {
  return code >= kReplySectorError && code <= kReplyCountError;
}

}  // namespace flashdesk
