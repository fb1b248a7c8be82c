#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "log/ErrorLog.h"
#include "protocol/Commands.h"
#include "protocol/Frame.h"
#include "protocol/MessageLayer.h"
#include "protocol/Protocol.h"
#include "sim/FirmwareImage.h"
#include "sim/SpeakerBus.h"

namespace flashdesk::sim::testing {

using Bytes = std::vector<std::uint8_t>;

// A speaker with a boot loader 1.00, its application 1.00 and FPGA software 2.00.
inline SpeakerConfig MakeSpeaker(std::uint32_t serial, std::uint8_t type,
                                 SpeakerMode mode = SpeakerMode::kBoot) {
  SpeakerConfig config;
  config.serial = serial;
  config.type = type;
  config.mode = mode;
  config.software = {{kKindBoot, 1, 0}, {type, 1, 0}, {kKindFpga, 2, 0}};
  return config;
}

// The reply codes of a log, in order.
inline std::vector<std::uint8_t> Codes(const ErrorLog& log) {
  std::vector<std::uint8_t> codes;
  for (const LogEvent& event : log.Events()) {
    codes.push_back(event.code);
  }
  return codes;
}

// Bytes that arrived from the bus at one moment.
struct Arrival {
  std::int64_t timeMs;
  Bytes bytes;
};

// Plays the PC's side against a SpeakerBus directly, in explicit time.
class BusDriver {
 public:
  explicit BusDriver(SpeakerBus& bus) : bus(bus) {}

  std::int64_t now = 0;

  void SendFrame(const Bytes& frame) { bus.Receive(frame.data(), frame.size(), now); }
  // Frames a command whose payload writer fills the buffer from offset 3.
  template <typename Writer>
  static Bytes Command(std::uint8_t command, std::uint8_t destination, Writer write) {
    std::uint8_t frame[1030];
    write(frame);
    const std::int32_t length = FrameCommand(command, destination, frame);
    return Bytes(frame, frame + length);
  }
  void Identify() {
    SendFrame(
        Command(kIdentifyRequest, kEverySpeaker, [](std::uint8_t* f) { WriteIdentifyRequest(f); }));
  }
  void SetMode(std::uint8_t mode, std::uint8_t destination = kEverySpeaker) {
    SendFrame(
        Command(kModeCommand, destination, [mode](std::uint8_t* f) { WriteModeCommand(f, mode); }));
  }
  static Bytes UploadStartFrame(const Bytes& image) {
    return Command(kUploadStart, kEverySpeaker, [&image](std::uint8_t* f) {
      WriteUploadStart(f, image.data(), BlockSizeFor(image[0]),
                       static_cast<std::int32_t>(image.size()) - kImageHeaderLength);
    });
  }
  static Bytes BlockFrame(const Bytes& image, std::int32_t block) {
    const std::int32_t at = kImageHeaderLength + block * kFileBytesPerBlock;
    const std::int32_t n =
        std::min<std::int32_t>(kFileBytesPerBlock, static_cast<std::int32_t>(image.size()) - at);
    return Command(kDataBlock, kEverySpeaker, [&](std::uint8_t* f) {
      WriteDataBlock(f, static_cast<std::uint8_t>(block & 0x7F), image.data() + at, n);
    });
  }
  static std::int32_t BlockCount(const Bytes& image) {
    const auto payload = static_cast<std::int32_t>(image.size()) - kImageHeaderLength;
    return (payload + kFileBytesPerBlock - 1) / kFileBytesPerBlock;
  }

  // Everything the bus sends up to untilMs, moment by moment; time moves to untilMs.
  std::vector<Arrival> Collect(std::int64_t untilMs) {
    std::vector<Arrival> arrivals;
    for (auto next = bus.NextOutputTime(now); next && *next <= untilMs;
         next = bus.NextOutputTime(now)) {
      now = std::max(now, *next);
      Arrival arrival{now, {}};
      bus.TakeOutput(now, arrival.bytes);
      arrivals.push_back(arrival);
    }
    now = untilMs;
    return arrivals;
  }
  // Status events in what arrived up to untilMs.
  ErrorLog StatusUntil(std::int64_t untilMs) {
    ErrorLog log;
    for (const Arrival& arrival : Collect(untilMs)) {
      layer.Append(arrival.bytes.data(), static_cast<std::int32_t>(arrival.bytes.size()));
      layer.TakeStatusReplies(log);
    }
    return log;
  }
  // Identification records in what arrived up to untilMs.
  std::vector<SpeakerRecord> RecordsUntil(std::int64_t untilMs) {
    std::vector<SpeakerRecord> records;
    for (const Arrival& arrival : Collect(untilMs)) {
      layer.Append(arrival.bytes.data(), static_cast<std::int32_t>(arrival.bytes.size()));
      SpeakerRecord record;
      while (layer.TakeIdentificationReply(record) == 1) {
        records.push_back(record);
      }
    }
    return records;
  }
  // A whole upload as the engine paces it: start, 1000 ms, blocks every 120 ms, then 1500 ms.
  // adjust may change any frame on its way (index -1 is the start) to damage the upload.
  ErrorLog Upload(const Bytes& image,
                  const std::function<Bytes(std::int32_t index, Bytes frame)>& adjust = {}) {
    const auto send = [&](std::int32_t index, Bytes frame) {
      SendFrame(adjust ? adjust(index, std::move(frame)) : frame);
    };
    send(-1, UploadStartFrame(image));
    ErrorLog log = StatusUntil(now + 1000);
    for (std::int32_t block = 0; block < BlockCount(image); ++block) {
      send(block, BlockFrame(image, block));
      Append(log, StatusUntil(now + 120));
    }
    Append(log, StatusUntil(now + 1500));
    return log;
  }
  static void Append(ErrorLog& into, const ErrorLog& more) {
    for (const LogEvent& event : more.Events()) {
      into.AddEvent(event.serial, event.code);
    }
  }

 private:
  SpeakerBus& bus;
  MessageLayer layer;
};

}  // namespace flashdesk::sim::testing
