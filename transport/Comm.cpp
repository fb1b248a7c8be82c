#include "transport/Comm.h"

#include <cstdio>
#include <string>
#include <utility>

#include "platform/Trace.h"
#include "transport/TickMs.h"

namespace flashdesk {
namespace {

constexpr std::uint32_t kNoHandleError = 0xFFFFFFFF;  // -1 in the error word
constexpr platform::LineSettings kBusLine{19200, 8, platform::Parity::kNone,
                                          platform::StopBits::kOne, platform::FlowControl::kNone};
// One byte, or silence, within 20 ms.
constexpr platform::ReadTimeouts kByteRead{20, 20};

std::string Hex(std::uint32_t word) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", word);
  return text;
}

}  // namespace

Comm::Comm(platform::SerialApi& api, platform::Clock& clock) : api(api), clock(clock) {}

Comm::~Comm() {
  Close();
}

bool Comm::Open(std::int16_t port) {
  return OpenPath(api.PortPath(port));
}

bool Comm::OpenPath(const std::string& devicePath) {
  if (isOpen) {
    Close();
  }
  lastFailure.reset();
  handle = platform::kInvalidHandle;
  if (Note(api.Open(devicePath, kBusLine, handle))) {
    handle = platform::kInvalidHandle;
    errors = kNoHandleError;
    return false;
  }
  if (handle == 0) {
    // Not a handle at all, so nothing to close.
    handle = platform::kInvalidHandle;
    return false;
  }
  isOpen = true;
  path = devicePath;
  sawErrors = false;
  Note(api.SetDtr(handle, true));  // the line works without it
  return true;
}

bool Comm::Close() {
  if (!isOpen) {
    return true;
  }
  Note(api.SetDtr(handle, false));
  Note(api.Discard(handle, platform::Queues::kBoth));
  if (platform::SerialFailure failed = api.Close(handle)) {
    errors = static_cast<std::uint32_t>(failed->code);
    sawErrors = true;
    Note(std::move(failed));
  }
  handle = platform::kInvalidHandle;
  isOpen = false;
  if (sawErrors) {
    platform::Trace("Comm : " + path + " closed with error word " + Hex(errors) + "\n");
  }
  return true;
}

bool Comm::ReadByte(std::uint8_t& destination) {
  if (!isOpen) {
    return false;
  }
  std::uint32_t got = 0;
  if (!Note(api.Read(handle, &destination, 1, kByteRead, got)) && got == 1) {
    return true;
  }
  AccumulateErrorFlags();
  return false;
}

void Comm::FlushInput() {
  if (!isOpen) {
    return;
  }
  Note(api.Drain(handle));
  platform::LineErrors keptFlags = 0;
  Note(api.TakeLineErrors(handle, keptFlags));
  const std::int32_t start = clock.TickMs();
  std::int32_t discarded = 0;
  std::uint8_t byte = 0;
  while (ReadByte(byte)) {
    if (++discarded >= kDrainLimitBytes || ElapsedMs(start, clock.TickMs()) >= kDrainLimitMs) {
      platform::Trace("FlushInput : line never fell silent, gave up after " +
                      std::to_string(discarded) + " bytes\n");
      break;
    }
  }
  AddErrors(keptFlags);
}

void Comm::Write(const std::uint8_t* bytes, std::int32_t count) {
  if (!isOpen) {
    return;
  }
  // Each query blocks in the driver until its output has left, so this loop does not spin.
  const std::int32_t start = clock.TickMs();
  for (;;) {
    std::uint32_t queued = 0;
    platform::LineErrors flags = 0;
    if (Note(api.QueuedOutput(handle, queued, flags))) {
      break;
    }
    AddErrors(flags);
    if (queued == 0 || ElapsedMs(start, clock.TickMs()) >= kDrainLimitMs) {
      break;
    }
  }
  const auto wanted = static_cast<std::uint32_t>(count < 0 ? 0 : count);
  std::uint32_t written = 0;
  if (Note(api.Write(handle, bytes, wanted, written)) || written < wanted) {
    AccumulateErrorFlags();
  }
}

bool Comm::Note(platform::SerialFailure failure) {
  if (!failure) {
    return false;
  }
  lastFailure = std::move(failure);
  return true;
}

void Comm::AddErrors(platform::LineErrors flags) {
  errors |= flags;
  sawErrors = sawErrors || flags != 0;
}

void Comm::AccumulateErrorFlags() {
  platform::LineErrors flags = 0;
  Note(api.TakeLineErrors(handle, flags));
  AddErrors(flags);
}

}  // namespace flashdesk
