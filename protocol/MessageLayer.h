#pragma once

#include <cstdint>

#include "log/ErrorLog.h"
#include "protocol/SpeakerRecord.h"
#include "transport/CircularBuffer.h"

namespace flashdesk {

// Keeps the bytes read from the bus and cuts replies out of them. One assembly state is shared
// by both frame parsers and survives between calls. Not thread-safe.
class MessageLayer {
 public:
  static constexpr std::int32_t kIdentifyLimit = 128;
  static constexpr std::int32_t kStatusLimit = 515;

  MessageLayer() = default;
  virtual ~MessageLayer() = default;

  // Bytes that no longer fit are dropped.
  void Append(const std::uint8_t* bytes, std::int32_t count);
  // True when the two oldest bytes were FE 00; consumes what it examines.
  bool TakeBootSignal();
  // 1 when an identification reply was taken into record, else 0. A reply announcing more
  // than four entries keeps its first four; slots not reported hold kEmptySlotKind.
  int TakeIdentificationReply(SpeakerRecord& record);
  // Adds one event per valid status reply.
  void TakeStatusReplies(ErrorLog& log);

 private:
  CircularBuffer received;
  std::uint8_t body[kStatusLimit] = {};
  std::int32_t bodyLength = 0;
  bool inFrame = false;
};

}  // namespace flashdesk
