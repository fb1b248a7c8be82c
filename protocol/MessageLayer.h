#pragma once

#include <cstdint>

#include "log/ErrorLog.h"
#include "protocol/SpeakerRecord.h"
#include "transport/CircularBuffer.h"

namespace flashdesk {

// Keeps the bytes read from the bus and cuts replies out of them. One assembly state is shared
// by both frame parsers and survives between calls, so a frame split over several bursts is
// assembled whole. Each take operation consumes every byte it examines. Not thread-safe.
class MessageLayer {
 public:
  static constexpr std::int32_t kIdentifyLimit = 128;
  static constexpr std::int32_t kStatusLimit = 515;

  // Bytes that no longer fit are dropped.
  void Append(const std::uint8_t* bytes, std::int32_t count);
  // True when the two oldest bytes were FE 00; consumes what it examines (nothing when fewer
  // than two bytes are held).
  bool TakeBootSignal();
  // 1 when an identification reply was taken into record, else 0; bytes after that reply stay
  // for the next call. A reply announcing more than four entries keeps its first four and
  // entryCount says 4; slots not reported hold kEmptySlotKind with version 0.0.
  int TakeIdentificationReply(SpeakerRecord& record);
  // Adds one event per valid status reply, reading until nothing is held. A status frame too
  // short to hold a serial and a code is skipped.
  void TakeStatusReplies(ErrorLog& log);

 private:
  // Runs the assembly step for the oldest held byte; true when it closed a frame whose body
  // (bodyLength bytes) now waits for the parser's acceptance test.
  bool AssembleNextByte(std::int32_t limit);

  CircularBuffer received;
  std::uint8_t body[kStatusLimit] = {};
  std::int32_t bodyLength = 0;
  bool inFrame = false;
};

}  // namespace flashdesk
