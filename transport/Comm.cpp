#include "transport/Comm.h"

#include <string>

#include "platform/Trace.h"
#include "transport/TickMs.h"

namespace flashdesk {
namespace {

constexpr std::uint32_t kNoHandleError = 0xFFFFFFFF;  // -1 in the error word
constexpr std::uint32_t kEveryEvent = 0xFFFF;
constexpr std::uint32_t kPurgeEverything = platform::kPurgeTxAbort | platform::kPurgeRxAbort |
                                           platform::kPurgeTxClear | platform::kPurgeRxClear;

}  // namespace

Comm::Comm(platform::SerialApi& api, platform::Clock& clock) : api(api), clock(clock) {}

Comm::~Comm() {
  Close();
}

bool Comm::Open(std::int16_t port) {
  return OpenPath(api.PortPath(port));
}

bool Comm::OpenPath(const std::string& path) {
  if (isOpen) {
    Close();
  }
  deviceGone = false;
  handle = api.Open(path);
  portInUse = handle == platform::kInvalidHandle && api.IsPortInUse(api.LastError());
  if (handle == platform::kInvalidHandle) {
    errors = kNoHandleError;
    return false;
  }
  if (handle == 0) {
    // Not a handle at all, so nothing to close.
    handle = platform::kInvalidHandle;
    return false;
  }
  if (!api.SetupQueues(handle, 1, 1)) {
    platform::Trace("SetupComm : Failed");
  }
  platform::Timeouts timeouts;
  api.GetTimeouts(handle, timeouts);
  timeouts.readIntervalTimeout = 5;
  timeouts.readTotalTimeoutMultiplier = 10;
  timeouts.readTotalTimeoutConstant = 10;
  timeouts.writeTotalTimeoutMultiplier = 2;
  timeouts.writeTotalTimeoutConstant = 10;
  api.SetTimeouts(handle, timeouts);
  isOpen = true;
  if (!Configure()) {
    Close();
    return false;
  }
  api.SetDtr(handle, true);  // refused by pseudo-terminals; the line works without it
  api.SetEventMask(handle, kEveryEvent);
  return true;
}

bool Comm::Configure() {
  if (!isOpen) {
    return false;
  }
  platform::LineSettings settings;
  api.GetLineSettings(handle, settings);
  settings.baudRate = 19200;
  settings.byteSize = 8;
  settings.parity = 0;
  settings.stopBits = 0;
  settings.binary = true;
  settings.parityCheck = true;
  settings.outxCtsFlow = false;
  settings.outxDsrFlow = false;
  settings.dtrControl = 0;
  settings.dsrSensitivity = false;
  settings.rtsControl = 0;
  settings.outX = false;
  settings.inX = false;
  settings.xonChar = 0x11;
  settings.xoffChar = 0x13;
  settings.xonLim = 100;
  settings.xoffLim = 100;
  return api.SetLineSettings(handle, settings);
}

bool Comm::Close() {
  if (!isOpen) {
    return true;
  }
  api.SetDtr(handle, false);
  api.Purge(handle, kPurgeEverything);
  if (!api.Close(handle)) {
    errors = static_cast<std::uint32_t>(api.LastError());
  }
  handle = platform::kInvalidHandle;
  isOpen = false;
  return true;
}

bool Comm::ReadByte(std::uint8_t& destination) {
  if (!isOpen) {
    return false;
  }
  std::uint32_t got = 0;
  if (api.Read(handle, &destination, 1, got) && got == 1) {
    return true;
  }
  AccumulateErrorFlags();
  return false;
}

void Comm::FlushInput() {
  if (!isOpen) {
    return;
  }
  api.Drain(handle);
  std::uint32_t keptFlags = 0;
  api.ClearErrors(handle, keptFlags, nullptr);
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
  errors |= keptFlags;
}

void Comm::Write(const std::uint8_t* bytes, std::int32_t count) {
  if (!isOpen) {
    return;
  }
  // Each query blocks in the driver until its output has left, so this loop does not spin.
  const std::int32_t start = clock.TickMs();
  for (;;) {
    std::uint32_t flags = 0;
    std::uint32_t outputQueue = 0;
    if (!api.ClearErrors(handle, flags, &outputQueue)) {
      break;
    }
    errors |= flags;
    if (outputQueue == 0 || ElapsedMs(start, clock.TickMs()) >= kDrainLimitMs) {
      break;
    }
  }
  const auto wanted = static_cast<std::uint32_t>(count < 0 ? 0 : count);
  std::uint32_t written = 0;
  if (!api.Write(handle, bytes, wanted, written)) {
    // Asked before the flags are cleared, which may overwrite the code.
    if (api.IsDeviceGone(api.LastError())) {
      deviceGone = true;
    }
    AccumulateErrorFlags();
  } else if (written < wanted) {
    AccumulateErrorFlags();
  }
}

void Comm::AccumulateErrorFlags() {
  std::uint32_t flags = 0;
  api.ClearErrors(handle, flags, nullptr);
  errors |= flags;
}

}  // namespace flashdesk
