#pragma once

#include <cstdint>

#include "protocol/Protocol.h"

namespace flashdesk {

struct SoftwareEntry {
  std::uint8_t kind = 0;
  std::uint8_t major = 0;
  std::uint8_t minor = 0;
};

// Marks a slot that the speaker did not report; no 7-bit kind can equal it.
constexpr std::uint8_t kEmptySlotKind = 0xFF;

// One identified speaker: the identification reply's payload as received (19 bytes).
struct SpeakerRecord {
  static constexpr int kSlots = 4;
  std::uint8_t serial[4] = {};
  std::uint8_t type = 0;
  std::uint8_t reserved = 0;
  std::uint8_t entryCount = 0;
  SoftwareEntry entries[kSlots] = {};

  std::uint32_t SerialNumber() const { return UnpackGroups(serial, 4); }
  bool HasKind(std::uint8_t kind) const {
    for (const SoftwareEntry& entry : entries) {
      if (entry.kind == kind)
        return true;
    }
    return false;
  }
};
static_assert(sizeof(SpeakerRecord) == 19, "the record is the reply's 19-byte payload");

}  // namespace flashdesk
