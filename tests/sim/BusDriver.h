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
using CodeList = std::vector<std::uint8_t>;
using Serials = std::vector<std::uint32_t>;

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
inline CodeList Codes(const ErrorLog& log) {
  CodeList codes;
  for (const LogEvent& event : log.Events()) {
    codes.push_back(event.code);
  }
  return codes;
}

// Software entries as kind * 10000 + major * 100 + minor, for comparing whole lists.
inline std::vector<int> Versions(const std::vector<SoftwareEntry>& software) {
  std::vector<int> versions;
  for (const SoftwareEntry& entry : software) {
    versions.push_back(entry.kind * 10000 + entry.major * 100 + entry.minor);
  }
  return versions;
}

// Bytes that arrived from the bus at one moment.
struct Arrival {
  std::int64_t timeMs;
  Bytes bytes;
};

// The serials of the identification replies the message layer finds in what arrived.
inline Serials SerialsIn(const std::vector<Arrival>& arrivals) {
  MessageLayer layer;
  Serials serials;
  for (const Arrival& arrival : arrivals) {
    layer.Append(arrival.bytes.data(), static_cast<std::int32_t>(arrival.bytes.size()));
    SpeakerRecord record;
    while (layer.TakeIdentificationReply(record) == 1) {
      serials.push_back(record.SerialNumber());
    }
  }
  return serials;
}

// Plays the PC's side against a SpeakerBus directly, in explicit time.
class BusDriver {
 public:
  explicit BusDriver(SpeakerBus& bus) : bus(bus) {}

  std::int64_t now = 0;

  void SendFrame(const Bytes& frame) { bus.Receive(frame.data(), frame.size(), now); }
  // Frames a command whose payload writer fills the buffer from offset 3.
  static Bytes Command(std::uint8_t command, const std::function<void(std::uint8_t*)>& write,
                       std::uint8_t destination = kEverySpeaker) {
    std::uint8_t frame[1030];
    write(frame);
    return Bytes(frame, frame + FrameCommand(command, destination, frame));
  }
  void Identify() { SendFrame(Command(kIdentifyRequest, WriteIdentifyRequest)); }
  void SetMode(std::uint8_t mode, std::uint8_t destination = kEverySpeaker) {
    SendFrame(Command(
        kModeCommand, [mode](std::uint8_t* f) { WriteModeCommand(f, mode); }, destination));
  }
  static Bytes UploadStartFrame(const Bytes& image) {
    return Command(kUploadStart, [&image](std::uint8_t* f) {
      WriteUploadStart(f, image.data(), BlockSizeFor(image[0]),
                       static_cast<std::int32_t>(image.size()) - kImageHeaderLength);
    });
  }
  static Bytes BlockFrame(const Bytes& image, std::int32_t block) {
    const std::int32_t at = kImageHeaderLength + block * kFileBytesPerBlock;
    const std::int32_t n =
        std::min<std::int32_t>(kFileBytesPerBlock, static_cast<std::int32_t>(image.size()) - at);
    return Command(kDataBlock, [&](std::uint8_t* f) {
      WriteDataBlock(f, static_cast<std::uint8_t>(block & 0x7F), image.data() + at, n);
    });
  }

  // Everything the bus sends up to untilMs, moment by moment; time moves to untilMs.
  std::vector<Arrival> Collect(std::int64_t untilMs) {
    std::vector<Arrival> arrivals;
    for (auto next = bus.NextOutputTime(now); next && *next <= untilMs;
         next = bus.NextOutputTime(now)) {
      now = std::max(now, *next);
      arrivals.push_back({now, {}});
      bus.TakeOutput(now, arrivals.back().bytes);
    }
    now = untilMs;
    return arrivals;
  }
  // Adds the status events in what arrives up to untilMs to log.
  void StatusUntil(std::int64_t untilMs, ErrorLog& log) {
    for (const Arrival& arrival : Collect(untilMs)) {
      layer.Append(arrival.bytes.data(), static_cast<std::int32_t>(arrival.bytes.size()));
      layer.TakeStatusReplies(log);
    }
  }
  // A whole upload as the engine paces it: start, 1000 ms, blocks every 120 ms, then 1500 ms.
  // adjust may change any frame on its way (index -1 is the start) to damage the upload.
  ErrorLog Upload(const Bytes& image,
                  const std::function<Bytes(std::int32_t index, Bytes frame)>& adjust = {}) {
    const auto send = [&](std::int32_t index, Bytes frame) {
      SendFrame(adjust ? adjust(index, std::move(frame)) : frame);
    };
    ErrorLog log;
    send(-1, UploadStartFrame(image));
    StatusUntil(now + 1000, log);
    const auto payload = static_cast<std::int32_t>(image.size()) - kImageHeaderLength;
    for (std::int32_t block = 0; block * kFileBytesPerBlock < payload; ++block) {
      send(block, BlockFrame(image, block));
      StatusUntil(now + 120, log);
    }
    StatusUntil(now + 1500, log);
    return log;
  }

 private:
  SpeakerBus& bus;
  MessageLayer layer;
};

}  // namespace flashdesk::sim::testing
