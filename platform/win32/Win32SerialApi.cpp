#include "platform/win32/Win32SerialApi.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace flashdesk::platform {
namespace {

constexpr DWORD kEveryEvent = 0xFFFF;
constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();

// Reads of n bytes within 10 ms a byte plus 10 ms, at most 5 ms between bytes: the block the
// ports have always been opened with. It gives a one-byte read its 20 ms without another call.
constexpr COMMTIMEOUTS kOpenTimeouts = {5, 10, 10, kWriteMsPerByte, kWriteSlackMs};

HANDLE ToHandle(DeviceHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// The longest a read of count bytes waits under timeouts.
std::uint64_t ReadWaitMs(const COMMTIMEOUTS& timeouts, std::uint32_t count) {
  const bool noTotal =
      timeouts.ReadTotalTimeoutMultiplier == 0 && timeouts.ReadTotalTimeoutConstant == 0;
  if (noTotal) {
    // MAXDWORD between bytes alone returns at once; zero everywhere waits for every byte.
    return timeouts.ReadIntervalTimeout == MAXDWORD ? 0 : kNoLimit;
  }
  return std::uint64_t{timeouts.ReadTotalTimeoutMultiplier} * count +
         timeouts.ReadTotalTimeoutConstant;
}

}  // namespace

SerialFailure Win32SerialApi::Open(const std::string& path, const LineSettings& line,
                                   DeviceHandle& handle) {
  handle = kInvalidHandle;
  HANDLE file = calls.CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const auto code = static_cast<std::int32_t>(calls.GetLastError());
    return TraceSerialFailure("Cannot open serial device " + path, "CreateFileA", code);
  }
  {
    std::lock_guard<std::mutex> guard(lock);
    ports[file] = Port{path, {}};
  }
  // Queues of one byte are a wish the driver may refuse; the port works with its own.
  Checked(calls.SetupComm(file, 1, 1), file, "SetupComm");
  // Every field is replaced, yet the block is read first as it always was.
  COMMTIMEOUTS timeouts{};
  Checked(calls.GetCommTimeouts(file, &timeouts), file, "GetCommTimeouts");
  timeouts = kOpenTimeouts;
  if (!Checked(calls.SetCommTimeouts(file, &timeouts), file, "SetCommTimeouts")) {
    Remember(file, timeouts);
  }
  if (SerialFailure refused = SetLine(file, line)) {
    // Closed as every port is closed.
    const auto opened = reinterpret_cast<DeviceHandle>(file);
    SetDtr(opened, false);
    Discard(opened, Queues::kBoth);
    Close(opened);
    return refused;
  }
  handle = reinterpret_cast<DeviceHandle>(file);
  return {};
}

SerialFailure Win32SerialApi::SetLine(HANDLE file, const LineSettings& line) {
  // Starts from the port's own block so that fields not named here keep their values.
  DCB block{};
  block.DCBlength = sizeof block;
  if (SerialFailure failed = Checked(calls.GetCommState(file, &block), file, "GetCommState")) {
    return failed;
  }
  const bool hardware = line.flowControl == FlowControl::kHardware;
  const bool software = line.flowControl == FlowControl::kSoftware;
  block.BaudRate = line.baudRate;
  block.ByteSize = line.dataBits;
  block.Parity = line.parity == Parity::kNone  ? NOPARITY
                 : line.parity == Parity::kOdd ? ODDPARITY
                                               : EVENPARITY;
  block.StopBits = line.stopBits == StopBits::kTwo ? TWOSTOPBITS : ONESTOPBIT;
  block.fBinary = TRUE;
  block.fParity = TRUE;  // checked whenever the line carries a parity bit
  block.fOutxCtsFlow = hardware;
  block.fOutxDsrFlow = FALSE;
  block.fDtrControl = DTR_CONTROL_DISABLE;  // DTR follows SetDtr alone
  block.fDsrSensitivity = FALSE;
  block.fRtsControl = hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
  block.fOutX = software;
  block.fInX = software;
  block.XonChar = 0x11;
  block.XoffChar = 0x13;
  block.XonLim = 100;
  block.XoffLim = 100;
  return Checked(calls.SetCommState(file, &block), file, "SetCommState");
}

SerialFailure Win32SerialApi::Read(DeviceHandle handle, std::uint8_t* destination,
                                   std::uint32_t count, ReadTimeouts timeouts, std::uint32_t& got) {
  got = 0;
  HANDLE file = ToHandle(handle);
  const std::uint32_t firstMs = std::min(timeouts.firstByteMs, timeouts.totalMs);
  if (count <= 1 || firstMs == timeouts.totalMs) {
    return ReadWithin(file, destination, count, count <= 1 ? firstMs : timeouts.totalMs, got);
  }
  // Windows limits only the whole read: the first byte is read alone within its own limit.
  if (SerialFailure failed = ReadWithin(file, destination, 1, firstMs, got); failed || got == 0) {
    return failed;
  }
  std::uint32_t rest = 0;
  SerialFailure failed =
      ReadWithin(file, destination + 1, count - 1, timeouts.totalMs - firstMs, rest);
  got += rest;
  return failed;
}

SerialFailure Win32SerialApi::ReadWithin(HANDLE file, std::uint8_t* destination,
                                         std::uint32_t count, std::uint32_t ms,
                                         std::uint32_t& got) {
  if (SerialFailure failed = UseReadTime(file, count, ms)) {
    return failed;
  }
  DWORD done = 0;
  SerialFailure failed =
      Checked(calls.ReadFile(file, destination, count, &done, nullptr), file, "ReadFile");
  got = done;
  return failed;
}

SerialFailure Win32SerialApi::UseReadTime(HANDLE file, std::uint32_t count, std::uint32_t ms) {
  COMMTIMEOUTS timeouts{};
  {
    std::lock_guard<std::mutex> guard(lock);
    const auto port = ports.find(file);
    if (port != ports.end()) {
      timeouts = port->second.timeouts;
    }
  }
  if (ReadWaitMs(timeouts, count) == ms) {
    return {};
  }
  timeouts.ReadIntervalTimeout = ms == 0 ? MAXDWORD : 0;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = ms;
  if (SerialFailure failed =
          Checked(calls.SetCommTimeouts(file, &timeouts), file, "SetCommTimeouts")) {
    return failed;
  }
  Remember(file, timeouts);
  return {};
}

SerialFailure Win32SerialApi::Write(DeviceHandle handle, const std::uint8_t* bytes,
                                    std::uint32_t count, std::uint32_t& written) {
  HANDLE file = ToHandle(handle);
  DWORD done = 0;
  SerialFailure failed =
      Checked(calls.WriteFile(file, bytes, count, &done, nullptr), file, "WriteFile");
  written = done;
  return failed;
}

SerialFailure Win32SerialApi::Drain(DeviceHandle handle) {
  HANDLE file = ToHandle(handle);
  return Checked(calls.FlushFileBuffers(file), file, "FlushFileBuffers");
}

SerialFailure Win32SerialApi::Discard(DeviceHandle handle, Queues queues) {
  constexpr DWORD kInput = PURGE_RXABORT | PURGE_RXCLEAR;
  constexpr DWORD kOutput = PURGE_TXABORT | PURGE_TXCLEAR;
  const DWORD flags =
      queues == Queues::kBoth ? kInput | kOutput : (queues == Queues::kInput ? kInput : kOutput);
  HANDLE file = ToHandle(handle);
  return Checked(calls.PurgeComm(file, flags), file, "PurgeComm");
}

SerialFailure Win32SerialApi::SetDtr(DeviceHandle handle, bool raised) {
  HANDLE file = ToHandle(handle);
  SerialFailure failed =
      Checked(calls.EscapeCommFunction(file, raised ? SETDTR : CLRDTR), file, "EscapeCommFunction");
  if (raised) {
    // Every line event is watched from the moment DTR says the port is ready, as it always was.
    SerialFailure masked = Checked(calls.SetCommMask(file, kEveryEvent), file, "SetCommMask");
    if (!failed) {
      failed = std::move(masked);
    }
  }
  return failed;
}

SerialFailure Win32SerialApi::QueuedOutput(DeviceHandle handle, std::uint32_t& queued,
                                           LineErrors& errors) {
  HANDLE file = ToHandle(handle);
  DWORD flags = 0;
  COMSTAT status{};
  SerialFailure failed =
      Checked(calls.ClearCommError(file, &flags, &status), file, "ClearCommError");
  if (!failed && status.cbOutQue > 0) {
    // Callers ask again until the queue is empty: wait here instead of letting them spin.
    DWORD laterFlags = 0;
    failed = Drain(handle);
    if (!failed) {
      failed = Checked(calls.ClearCommError(file, &laterFlags, &status), file, "ClearCommError");
    }
    flags |= laterFlags;
  }
  errors = flags;
  queued = status.cbOutQue;
  return failed;
}

SerialFailure Win32SerialApi::TakeLineErrors(DeviceHandle handle, LineErrors& errors) {
  HANDLE file = ToHandle(handle);
  DWORD flags = 0;
  SerialFailure failed =
      Checked(calls.ClearCommError(file, &flags, nullptr), file, "ClearCommError");
  errors = flags;
  return failed;
}

SerialFailure Win32SerialApi::Close(DeviceHandle handle) {
  HANDLE file = ToHandle(handle);
  // Forgotten first: once closed, Windows may hand the same handle to another open.
  const std::string path = PathOf(file);
  Forget(file);
  if (calls.CloseHandle(file) == 0) {
    const auto code = static_cast<std::int32_t>(calls.GetLastError());
    return TraceSerialFailure("Serial device " + path, "CloseHandle", code);
  }
  return {};
}

SerialFailure Win32SerialApi::Checked(BOOL result, HANDLE file, const char* call) {
  if (result != 0) {
    return {};
  }
  const auto code = static_cast<std::int32_t>(calls.GetLastError());
  return TraceSerialFailure("Serial device " + PathOf(file), call, code);
}

std::string Win32SerialApi::PathOf(HANDLE file) {
  std::lock_guard<std::mutex> guard(lock);
  const auto port = ports.find(file);
  return port == ports.end() ? "(not open)" : port->second.path;
}

void Win32SerialApi::Remember(HANDLE file, const COMMTIMEOUTS& timeouts) {
  std::lock_guard<std::mutex> guard(lock);
  const auto port = ports.find(file);
  if (port != ports.end()) {
    port->second.timeouts = timeouts;
  }
}

void Win32SerialApi::Forget(HANDLE file) {
  std::lock_guard<std::mutex> guard(lock);
  ports.erase(file);
}

namespace {

// Each call goes straight to Windows.
class SystemCalls : public Win32CommCalls {
 public:
  HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                     DWORD disposition, DWORD flags, HANDLE templateFile) override {
    return ::CreateFileA(name, access, share, security, disposition, flags, templateFile);
  }
  BOOL SetupComm(HANDLE file, DWORD in, DWORD out) override { return ::SetupComm(file, in, out); }
  BOOL GetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS t) override {
    return ::GetCommTimeouts(file, t);
  }
  BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS t) override {
    return ::SetCommTimeouts(file, t);
  }
  BOOL GetCommState(HANDLE file, LPDCB block) override { return ::GetCommState(file, block); }
  BOOL SetCommState(HANDLE file, LPDCB block) override { return ::SetCommState(file, block); }
  BOOL EscapeCommFunction(HANDLE file, DWORD function) override {
    return ::EscapeCommFunction(file, function);
  }
  BOOL SetCommMask(HANDLE file, DWORD mask) override { return ::SetCommMask(file, mask); }
  BOOL PurgeComm(HANDLE file, DWORD flags) override { return ::PurgeComm(file, flags); }
  BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD done,
                LPOVERLAPPED overlapped) override {
    return ::ReadFile(file, buffer, count, done, overlapped);
  }
  BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD done,
                 LPOVERLAPPED overlapped) override {
    return ::WriteFile(file, buffer, count, done, overlapped);
  }
  BOOL FlushFileBuffers(HANDLE file) override { return ::FlushFileBuffers(file); }
  BOOL ClearCommError(HANDLE file, LPDWORD errors, LPCOMSTAT status) override {
    return ::ClearCommError(file, errors, status);
  }
  BOOL CloseHandle(HANDLE file) override { return ::CloseHandle(file); }
  DWORD GetLastError() override { return ::GetLastError(); }
};

}  // namespace

Win32CommCalls& SystemCommCalls() {
  static SystemCalls calls;
  return calls;
}

SerialApi& SystemSerialApi() {
  static Win32SerialApi api(SystemCommCalls());
  return api;
}

}  // namespace flashdesk::platform
