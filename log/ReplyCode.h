#pragma once

#include <cstdint>
#include <string>

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

// The name a reply code goes by in records and scripts.
inline std::string ReplyWord(std::uint8_t code) {
  static constexpr const char* kKnown[] = {"DONE",         "READY",          "TYPE ERROR",
                                           "SECTOR ERROR", "CHECKSUM ERROR", "COUNT ERROR"};
  if (code < sizeof kKnown / sizeof kKnown[0])
    return kKnown[code];
  return "UNKNOWN CODE " + std::to_string(code);
}

}  // namespace flashdesk
