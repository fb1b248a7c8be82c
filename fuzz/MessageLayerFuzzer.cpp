// The message layer on bytes off the bus, taken as the engine takes them: each step appends a
// burst and runs one take operation. A plain reading of the same bytes, the frame rules written
// out again over a queue, runs beside it; both must agree on every reply, every event and
// every byte taken after. Whatever came before, a sound status reply appended once the layer
// has read everything it holds comes out. Under the sanitizers any access outside the layer's
// storage fails too.
//
// Input: steps of [op][burst]. The low two bits of op pick the take (boot signal,
// identification, status, none); op >> 2 is the burst's length, and 63 means 63 plus 16 times
// the next byte, so bursts outrun the ring.
#include <deque>
#include <optional>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "log/ErrorLog.h"
#include "protocol/Commands.h"
#include "protocol/Frame.h"
#include "protocol/MessageLayer.h"
#include "protocol/Protocol.h"
#include "transport/CircularBuffer.h"

namespace flashdesk {
namespace {

class PlainReading {
 public:
  void Append(const std::uint8_t* bytes, std::size_t count) {
    // The ring keeps what fits and drops the rest.
    for (std::size_t i = 0; i < count && held.size() < CircularBuffer::kCapacity; ++i)
      held.push_back(bytes[i]);
  }

  bool TakeBootSignal() {
    if (held.size() < 2)
      return false;
    return Pop() == kBootSignalFirst && Pop() == kBootSignalSecond;
  }

  std::optional<SpeakerRecord> TakeIdentificationReply() {
    while (const std::optional<std::vector<std::uint8_t>> body =
               NextBody(MessageLayer::kIdentifyLimit)) {
      const std::vector<std::uint8_t>& b = *body;
      if (b.size() < 10 || b[1] != kIdentifyReply || b.size() != 10 + 3 * std::size_t{b[8]} ||
          !BodyChecksumHolds(b.data(), static_cast<std::int32_t>(b.size())))
        continue;
      SpeakerRecord record;
      std::copy(b.begin() + 2, b.begin() + 6, record.serial);
      record.type = b[6];
      record.reserved = b[7];
      record.entryCount = std::min<std::uint8_t>(b[8], SpeakerRecord::kSlots);
      for (int slot = 0; slot < SpeakerRecord::kSlots; ++slot) {
        record.entries[slot] =
            slot < record.entryCount
                ? SoftwareEntry{b[9 + 3 * slot], b[10 + 3 * slot], b[11 + 3 * slot]}
                : SoftwareEntry{kEmptySlotKind, 0, 0};
      }
      return record;
    }
    return std::nullopt;
  }

  std::vector<LogEvent> TakeStatusReplies() {
    std::vector<LogEvent> events;
    while (const std::optional<std::vector<std::uint8_t>> body =
               NextBody(MessageLayer::kStatusLimit)) {
      const std::vector<std::uint8_t>& b = *body;
      if (b.size() >= 8 && b[1] == kStatusReply &&
          BodyChecksumHolds(b.data(), static_cast<std::int32_t>(b.size())))
        events.push_back({static_cast<std::int32_t>(UnpackGroups(b.data() + 2, 4)), b[6]});
    }
    return events;
  }

 private:
  std::uint8_t Pop() {
    const std::uint8_t byte = held.front();
    held.pop_front();
    return byte;
  }

  // The body of the next frame closed within limit bytes; none once the bytes run out. A frame
  // still open then goes on with the next call, whichever parser makes it.
  std::optional<std::vector<std::uint8_t>> NextBody(std::size_t limit) {
    while (!held.empty()) {
      const std::uint8_t byte = Pop();
      if (byte == kFrameStart) {
        body.clear();
        open = true;
      } else if (byte == kFrameEnd && open) {
        open = false;
        return body;
      } else if (byte != kFrameEnd && open) {
        body.push_back(byte);
        open = body.size() < limit;
      }
    }
    return std::nullopt;
  }

  std::deque<std::uint8_t> held;
  std::vector<std::uint8_t> body;
  bool open = false;
};

bool SameRecord(const SpeakerRecord& a, const SpeakerRecord& b) {
  bool same = std::equal(a.serial, a.serial + 4, b.serial) && a.type == b.type &&
              a.reserved == b.reserved && a.entryCount == b.entryCount;
  for (int slot = 0; slot < SpeakerRecord::kSlots; ++slot) {
    same = same && a.entries[slot].kind == b.entries[slot].kind &&
           a.entries[slot].major == b.entries[slot].major &&
           a.entries[slot].minor == b.entries[slot].minor;
  }
  return same;
}

}  // namespace
}  // namespace flashdesk

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace flashdesk;
  MessageLayer layer;
  PlainReading plain;
  ErrorLog log;
  for (std::size_t at = 0; at < size;) {
    const std::uint8_t op = data[at++];
    std::size_t length = op >> 2;
    if (length == 63 && at < size)
      length += 16 * std::size_t{data[at++]};
    length = std::min(length, size - at);
    layer.Append(data + at, static_cast<std::int32_t>(length));
    plain.Append(data + at, length);
    at += length;
    switch (op & 3) {
      case 0:
        FUZZ_CHECK(layer.TakeBootSignal() == plain.TakeBootSignal());
        break;
      case 1: {
        SpeakerRecord record;
        const std::optional<SpeakerRecord> expected = plain.TakeIdentificationReply();
        FUZZ_CHECK(layer.TakeIdentificationReply(record) == (expected ? 1 : 0));
        FUZZ_CHECK(!expected || SameRecord(record, *expected));
        break;
      }
      case 2: {
        log.Clear();
        layer.TakeStatusReplies(log);
        const std::vector<LogEvent> expected = plain.TakeStatusReplies();
        FUZZ_CHECK(log.Events().size() == expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
          FUZZ_CHECK(log.Events()[i].serial == expected[i].serial);
          FUZZ_CHECK(log.Events()[i].code == expected[i].code);
        }
        break;
      }
      default:
        break;
    }
  }
  log.Clear();
  layer.TakeStatusReplies(log);
  FUZZ_CHECK(log.Events().size() == plain.TakeStatusReplies().size());
  const std::vector<std::uint8_t> reply = StatusReplyFrame(0, 0x0ABCDEF, 7);
  log.Clear();
  layer.Append(reply.data(), static_cast<std::int32_t>(reply.size()));
  layer.TakeStatusReplies(log);
  FUZZ_CHECK(log.Events().size() == 1);
  FUZZ_CHECK(log.Events()[0].serial == 0x0ABCDEF && log.Events()[0].code == 7);
  return 0;
}
