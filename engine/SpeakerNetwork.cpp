#include "engine/SpeakerNetwork.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <limits>
#include <thread>

#include "protocol/Commands.h"
#include "transport/TickMs.h"

namespace flashdesk {

namespace {

// The C library's decimal conversion: leading blanks and one sign, then digits up to the first
// other character; 0 when no digit leads. Clamped instead of overflowing.
std::int32_t LeadingDecimal(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
    ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  std::int64_t magnitude = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
    magnitude = magnitude * 10 + (text[at] - '0');
    if (magnitude > kLimit)
      magnitude = kLimit;
  }
  if (negative)
    return static_cast<std::int32_t>(-magnitude);
  return static_cast<std::int32_t>(magnitude < kLimit ? magnitude : kLimit - 1);
}

}  // namespace

SpeakerNetwork::SpeakerNetwork(const EngineServices& services)
    : services(services), port(services.serial, services.clock) {}

std::int32_t BusSnapshot::CountSpeakers(std::int32_t type, std::int32_t kind) const {
  if (kind < 0 || kind > 0xFF)
    return 0;
  return static_cast<std::int32_t>(
      std::count_if(speakers.begin(), speakers.end(), [type, kind](const SpeakerRecord& record) {
        return record.type == type && record.HasKind(static_cast<std::uint8_t>(kind));
      }));
}

BusSnapshot SpeakerNetwork::Snapshot() const {
  return {portNumber, portPath, std::vector<SpeakerRecord>(speakers, speakers + speakerCount)};
}

void SpeakerNetwork::Reset() {
  imageFile.Close();
  imageHead = {};
  port.ClearErrors();
}

bool SpeakerNetwork::LockWithin(std::int32_t limitMs) {
  if (limitMs == kNoLimit) {
    lock.lock();
    return true;
  }
  // Measured on the engine's clock so that the limit holds in virtual time too. Each poll
  // also waits a moment in real time, so a holder on another thread can let go before a
  // virtual clock has run out.
  constexpr std::int32_t kPollMs = 10;
  constexpr std::chrono::milliseconds kRealPoll(1);
  const std::int32_t start = services.clock.TickMs();
  // try_lock and a plain sleep rather than try_lock_for: ThreadSanitizer does not see the
  // timed lock and would report every later unlock.
  while (!lock.try_lock()) {
    if (ElapsedMs(start, services.clock.TickMs()) >= limitMs)
      return false;
    std::this_thread::sleep_for(kRealPoll);
    services.clock.SleepMs(kPollMs);
  }
  return true;
}

SpeakerNetwork::Hold::Hold(SpeakerNetwork& engine, std::int32_t limitMs)
    : engine(engine), held(engine.LockWithin(limitMs)) {}

SpeakerNetwork::Hold::~Hold() {
  if (held)
    engine.lock.unlock();
}

void SpeakerNetwork::Send(std::uint8_t command, std::uint8_t destination) {
  SendCommand(port, command, destination, txFrame);
}

void SpeakerNetwork::SendIdentifyRequest() {
  WriteIdentifyRequest(txFrame);
  Send(kIdentifyRequest, kEverySpeaker);
}

std::int32_t SpeakerNetwork::ReadIntoMessages() {
  const std::int32_t count = port.ReadBurst(rxBuffer);
  if (count > 0)
    messages.Append(rxBuffer, count);
  return count;
}

void SpeakerNetwork::ReportProgress(std::int32_t percent) {
  if (progressTarget)
    progressTarget->ReportProgress(percent);
}

std::int32_t SpeakerNetwork::ReadSavedPort() {
  if (!services.settings.OpenSection())
    return -1;
  std::string text;
  if (!services.settings.ReadValue(kPortValueName, text))
    return -1;
  // The stored text carries its terminating zero, so 512 bytes and more never fit.
  if (text.empty() || text.size() >= platform::SettingsStore::kMaxValueBytes)
    return -1;
  return LeadingDecimal(text);
}

void SpeakerNetwork::SavePort(std::int32_t portToSave) {
  if (!services.settings.OpenSection())
    return;
  services.settings.WriteValue(kPortValueName, std::to_string(portToSave));
}

}  // namespace flashdesk
