#include "protocol/MessageLayer.h"

#include "protocol/Frame.h"
#include "protocol/Protocol.h"

namespace flashdesk {

namespace {

constexpr std::int32_t kStatusBodyLength = 8;
constexpr std::int32_t kEntryCountIndex = 8;
constexpr std::int32_t kFirstEntryIndex = 9;

std::int32_t IdentificationBodyLength(std::uint8_t entryCount) {
  return 10 + 3 * entryCount;
}

}  // namespace

void MessageLayer::Append(const std::uint8_t* bytes, std::int32_t count) {
  if (count > 0) {
    received.Write(bytes, count);
  }
}

bool MessageLayer::TakeBootSignal() {
  if (received.Count() < 2) {
    return false;
  }
  std::uint8_t byte = 0;
  received.Read(&byte, 1);
  if (byte != kBootSignalFirst) {
    return false;
  }
  received.Read(&byte, 1);
  return byte == kBootSignalSecond;
}

bool MessageLayer::AssembleNextByte(std::int32_t limit) {
  std::uint8_t byte = 0;
  received.Read(&byte, 1);
  if (byte == kFrameStart) {
    bodyLength = 0;
    inFrame = true;
    return false;
  }
  if (byte == kFrameEnd) {
    const bool closed = inFrame;
    inFrame = false;
    return closed;
  }
  if (!inFrame) {
    return false;
  }
  body[bodyLength] = byte;
  ++bodyLength;
  // The other parser may have left a longer body behind; drop it as soon as it is too long
  // for this one, so the store above always stays inside body.
  if (bodyLength >= limit) {
    bodyLength = 0;
    inFrame = false;
  }
  return false;
}

int MessageLayer::TakeIdentificationReply(SpeakerRecord& record) {
  while (!received.IsEmpty()) {
    if (!AssembleNextByte(kIdentifyLimit)) {
      continue;
    }
    const std::int32_t length = bodyLength;
    if (length < IdentificationBodyLength(0) || body[1] != kIdentifyReply ||
        length != IdentificationBodyLength(body[kEntryCountIndex]) ||
        !BodyChecksumHolds(body, length)) {
      continue;
    }
    for (int i = 0; i < 4; ++i) {
      record.serial[i] = body[2 + i];
    }
    record.type = body[6];
    record.reserved = body[7];
    const int reported = body[kEntryCountIndex];
    const int kept = reported < SpeakerRecord::kSlots ? reported : SpeakerRecord::kSlots;
    record.entryCount = static_cast<std::uint8_t>(kept);
    for (int slot = 0; slot < SpeakerRecord::kSlots; ++slot) {
      SoftwareEntry& entry = record.entries[slot];
      if (slot < kept) {
        const std::uint8_t* source = body + kFirstEntryIndex + 3 * slot;
        entry = SoftwareEntry{source[0], source[1], source[2]};
      } else {
        entry = SoftwareEntry{kEmptySlotKind, 0, 0};
      }
    }
    return 1;
  }
  return 0;
}

void MessageLayer::TakeStatusReplies(ErrorLog& log) {
  while (!received.IsEmpty()) {
    if (!AssembleNextByte(kStatusLimit)) {
      continue;
    }
    if (bodyLength < kStatusBodyLength || body[1] != kStatusReply ||
        !BodyChecksumHolds(body, bodyLength)) {
      continue;
    }
    log.AddEvent(static_cast<std::int32_t>(UnpackGroups(body + 2, 4)), body[6]);
  }
}

}  // namespace flashdesk
