#include "sim/SpeakerBus.h"

#include <algorithm>
#include <cstdio>

#include "protocol/Frame.h"
#include "protocol/Protocol.h"

namespace flashdesk::sim {

namespace {

// Boot signals and chatter missed while nobody looked are not all replayed: the line holds
// only the latest few, as a real receiver's buffer would.
constexpr std::int64_t kBacklogPeriods = 8;

const char* CommandName(std::uint8_t command) {
  switch (command) {
    case kIdentifyRequest:
      return "identification request";
    case kModeCommand:
      return "mode command";
    case kUploadStart:
      return "upload start";
    case kDataBlock:
      return "data block";
    default:
      return "unknown command";
  }
}

std::string Hex(const std::vector<std::uint8_t>& bytes, std::size_t limit) {
  std::string text;
  char digits[4];
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    std::snprintf(digits, sizeof digits, i == 0 ? "%02X" : " %02X", bytes[i]);
    text += digits;
  }
  if (bytes.size() > limit) {
    text += " ...";
  }
  return text;
}

}  // namespace

int SpeakerBus::AddSpeaker(const SpeakerConfig& config) {
  std::lock_guard<std::mutex> hold(mutex);
  const int position = static_cast<int>(speakers.size());
  speakers.emplace_back(config, position);
  periodicUntilMs.push_back(-1);
  return position;
}

int SpeakerBus::SpeakerCount() const {
  std::lock_guard<std::mutex> hold(mutex);
  return static_cast<int>(speakers.size());
}

SpeakerState SpeakerBus::Speaker(int position) const {
  std::lock_guard<std::mutex> hold(mutex);
  return speakers.at(static_cast<std::size_t>(position)).State();
}

void SpeakerBus::Receive(const std::uint8_t* bytes, std::size_t count, std::int64_t nowMs) {
  std::lock_guard<std::mutex> hold(mutex);
  if (vanished) {
    return;
  }
  // Signals sent before this moment go out under the old modes.
  SchedulePeriodicOutput(nowMs);
  for (std::size_t i = 0; i < count && !vanished; ++i) {
    AssembleByte(bytes[i], nowMs);
  }
}

void SpeakerBus::AssembleByte(std::uint8_t byte, std::int64_t nowMs) {
  if (byte == kFrameStart) {
    assembling.assign(1, byte);
    inFrame = true;
    return;
  }
  if (!inFrame) {
    return;
  }
  assembling.push_back(byte);
  if (byte == kFrameEnd) {
    inFrame = false;
    HandleFrame(nowMs);
  } else if (assembling.size() >= kLongestCommand) {
    inFrame = false;
  }
}

void SpeakerBus::HandleFrame(std::int64_t nowMs) {
  RecordedFrame record;
  record.timeMs = nowMs;
  record.bytes = assembling;
  if (assembling.size() >= 4) {
    record.destination = assembling[1];
    record.command = assembling[2];
    record.payload.assign(assembling.begin() + 3, assembling.end() - 2);
    const std::vector<std::uint8_t> body(assembling.begin() + 1, assembling.end() - 1);
    record.checksumOk = BodyChecksumHolds(body.data(), static_cast<std::int32_t>(body.size()));
    if (record.command == kDataBlock && !record.payload.empty()) {
      record.sequence = record.payload[0];
    }
  }
  frames.push_back(record);
  Observe("heard " + std::string(CommandName(record.command)) + " to " +
          (record.destination == kEverySpeaker ? "every speaker" : "destination 00") +
          (record.checksumOk ? "" : " (bad checksum)") + ": " + Hex(record.bytes, 16));

  const CommandFrame frame{record.destination, record.command, record.payload, record.checksumOk};
  for (SimulatedSpeaker& speaker : speakers) {
    std::vector<PendingReply> replies;
    speaker.Handle(frame, nowMs, replies);
    for (PendingReply& reply : replies) {
      Observe("speaker " + std::to_string(speaker.State().config.serial) + " answers in " +
              std::to_string(reply.delayMs) + " ms: " + Hex(reply.bytes, 24));
      output.emplace(nowMs + reply.delayMs, std::move(reply.bytes));
    }
    if (speaker.HasVanished()) {
      Observe("speaker " + std::to_string(speaker.State().config.serial) +
              " vanished: the line goes dead");
      vanished = true;
      output.clear();
      return;
    }
  }
  for (RawTrigger& trigger : triggers) {
    if (trigger.command == record.command && trigger.timesLeft > 0) {
      --trigger.timesLeft;
      output.emplace(nowMs + trigger.delayMs, trigger.bytes);
    }
  }
}

void SpeakerBus::SchedulePeriodicOutput(std::int64_t untilMs) {
  for (std::size_t i = 0; i < speakers.size(); ++i) {
    const SpeakerConfig& config = speakers[i].State().config;
    const std::int64_t period = std::max(config.bootSignalPeriodMs, config.chatterPeriodMs);
    std::int64_t from = periodicUntilMs[i] + 1;
    if (period > 0) {
      from = std::max(from, untilMs - kBacklogPeriods * period);
    }
    for (std::int64_t at = speakers[i].NextPeriodicOutput(from); at >= 0 && at <= untilMs;
         at = speakers[i].NextPeriodicOutput(at + 1)) {
      output.emplace(at, speakers[i].PeriodicOutputAt(at));
    }
    periodicUntilMs[i] = std::max(periodicUntilMs[i], untilMs);
  }
}

std::optional<std::int64_t> SpeakerBus::NextOutputTime(std::int64_t nowMs) {
  std::lock_guard<std::mutex> hold(mutex);
  if (vanished) {
    return std::nullopt;
  }
  SchedulePeriodicOutput(nowMs);
  std::optional<std::int64_t> next;
  if (!output.empty()) {
    next = output.begin()->first;
  }
  for (std::size_t i = 0; i < speakers.size(); ++i) {
    const std::int64_t at = speakers[i].NextPeriodicOutput(periodicUntilMs[i] + 1);
    if (at >= 0 && (!next || at < *next)) {
      next = at;
    }
  }
  return next;
}

void SpeakerBus::TakeOutput(std::int64_t nowMs, std::vector<std::uint8_t>& out) {
  std::lock_guard<std::mutex> hold(mutex);
  if (vanished) {
    return;
  }
  SchedulePeriodicOutput(nowMs);
  while (!output.empty() && output.begin()->first <= nowMs) {
    const std::vector<std::uint8_t>& chunk = output.begin()->second;
    out.insert(out.end(), chunk.begin(), chunk.end());
    output.erase(output.begin());
  }
}

std::vector<RecordedFrame> SpeakerBus::Frames() const {
  std::lock_guard<std::mutex> hold(mutex);
  return frames;
}

void SpeakerBus::SendRaw(std::int64_t atMs, std::vector<std::uint8_t> bytes) {
  std::lock_guard<std::mutex> hold(mutex);
  output.emplace(atMs, std::move(bytes));
}

void SpeakerBus::SendRawAfter(std::uint8_t command, std::int32_t delayMs,
                              std::vector<std::uint8_t> bytes, int times) {
  std::lock_guard<std::mutex> hold(mutex);
  triggers.push_back({command, delayMs, std::move(bytes), times});
}

void SpeakerBus::Vanish() {
  std::lock_guard<std::mutex> hold(mutex);
  vanished = true;
  output.clear();
}

bool SpeakerBus::Vanished() const {
  std::lock_guard<std::mutex> hold(mutex);
  return vanished;
}

void SpeakerBus::SetObserver(std::function<void(const std::string&)> newObserver) {
  std::lock_guard<std::mutex> hold(mutex);
  observer = std::move(newObserver);
}

void SpeakerBus::Observe(const std::string& line) const {
  if (observer) {
    observer(line);
  }
}

}  // namespace flashdesk::sim
