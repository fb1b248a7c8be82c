#include <windows.h>

#include <string>

#include "platform/SerialApi.h"
#include "platform/SystemError.h"
#include "platform/Trace.h"

namespace flashdesk::platform {
namespace {

static_assert(kPurgeTxAbort == PURGE_TXABORT && kPurgeRxAbort == PURGE_RXABORT &&
                  kPurgeTxClear == PURGE_TXCLEAR && kPurgeRxClear == PURGE_RXCLEAR,
              "purge flags pass through unchanged");

HANDLE ToHandle(DeviceHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// Traces a failed call with its name and reason; GetLastError stays for the caller, although
// the trace itself may have changed it.
bool Checked(BOOL result, const char* call) {
  if (result != 0) {
    return true;
  }
  const DWORD code = GetLastError();
  Trace(std::string(call) + " : " + DescribeSystemError(static_cast<std::int32_t>(code)) + "\n");
  SetLastError(code);
  return false;
}

class Win32SerialApi : public SerialApi {
 public:
  DeviceHandle Open(const std::string& path) override {
    HANDLE device = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
      const DWORD code = GetLastError();
      Trace("Cannot open serial device " + path + ": " +
            DescribeSystemError(static_cast<std::int32_t>(code)) + " (CreateFileA)");
      SetLastError(code);  // the trace may have overwritten it
      return kInvalidHandle;
    }
    return reinterpret_cast<DeviceHandle>(device);
  }

  bool SetupQueues(DeviceHandle handle, std::uint32_t inputSize,
                   std::uint32_t outputSize) override {
    return Checked(SetupComm(ToHandle(handle), inputSize, outputSize), "SetupComm");
  }

  bool GetTimeouts(DeviceHandle handle, Timeouts& timeouts) override {
    COMMTIMEOUTS block{};
    if (!Checked(GetCommTimeouts(ToHandle(handle), &block), "GetCommTimeouts")) {
      return false;
    }
    timeouts.readIntervalTimeout = block.ReadIntervalTimeout;
    timeouts.readTotalTimeoutMultiplier = block.ReadTotalTimeoutMultiplier;
    timeouts.readTotalTimeoutConstant = block.ReadTotalTimeoutConstant;
    timeouts.writeTotalTimeoutMultiplier = block.WriteTotalTimeoutMultiplier;
    timeouts.writeTotalTimeoutConstant = block.WriteTotalTimeoutConstant;
    return true;
  }

  bool SetTimeouts(DeviceHandle handle, const Timeouts& timeouts) override {
    COMMTIMEOUTS block{};
    block.ReadIntervalTimeout = timeouts.readIntervalTimeout;
    block.ReadTotalTimeoutMultiplier = timeouts.readTotalTimeoutMultiplier;
    block.ReadTotalTimeoutConstant = timeouts.readTotalTimeoutConstant;
    block.WriteTotalTimeoutMultiplier = timeouts.writeTotalTimeoutMultiplier;
    block.WriteTotalTimeoutConstant = timeouts.writeTotalTimeoutConstant;
    return Checked(SetCommTimeouts(ToHandle(handle), &block), "SetCommTimeouts");
  }

  bool GetLineSettings(DeviceHandle handle, LineSettings& settings) override {
    DCB block{};
    if (!ReadState(handle, block)) {
      return false;
    }
    settings.baudRate = block.BaudRate;
    settings.byteSize = block.ByteSize;
    settings.parity = block.Parity;
    settings.stopBits = block.StopBits;
    settings.binary = block.fBinary != 0;
    settings.parityCheck = block.fParity != 0;
    settings.outxCtsFlow = block.fOutxCtsFlow != 0;
    settings.outxDsrFlow = block.fOutxDsrFlow != 0;
    settings.dtrControl = static_cast<std::uint8_t>(block.fDtrControl);
    settings.dsrSensitivity = block.fDsrSensitivity != 0;
    settings.rtsControl = static_cast<std::uint8_t>(block.fRtsControl);
    settings.outX = block.fOutX != 0;
    settings.inX = block.fInX != 0;
    settings.xonChar = block.XonChar;
    settings.xoffChar = block.XoffChar;
    settings.xonLim = block.XonLim;
    settings.xoffLim = block.XoffLim;
    return true;
  }

  bool SetLineSettings(DeviceHandle handle, const LineSettings& settings) override {
    // Starts from the port's own block so that fields we do not carry keep their values.
    DCB block{};
    if (!ReadState(handle, block)) {
      return false;
    }
    block.BaudRate = settings.baudRate;
    block.ByteSize = settings.byteSize;
    block.Parity = settings.parity;
    block.StopBits = settings.stopBits;
    block.fBinary = settings.binary ? 1 : 0;
    block.fParity = settings.parityCheck ? 1 : 0;
    block.fOutxCtsFlow = settings.outxCtsFlow ? 1 : 0;
    block.fOutxDsrFlow = settings.outxDsrFlow ? 1 : 0;
    block.fDtrControl = settings.dtrControl;
    block.fDsrSensitivity = settings.dsrSensitivity ? 1 : 0;
    block.fRtsControl = settings.rtsControl;
    block.fOutX = settings.outX ? 1 : 0;
    block.fInX = settings.inX ? 1 : 0;
    block.XonChar = settings.xonChar;
    block.XoffChar = settings.xoffChar;
    block.XonLim = settings.xonLim;
    block.XoffLim = settings.xoffLim;
    return Checked(SetCommState(ToHandle(handle), &block), "SetCommState");
  }

  bool SetDtr(DeviceHandle handle, bool raised) override {
    return Checked(EscapeCommFunction(ToHandle(handle), raised ? SETDTR : CLRDTR),
                   "EscapeCommFunction");
  }

  bool SetEventMask(DeviceHandle handle, std::uint32_t mask) override {
    return Checked(SetCommMask(ToHandle(handle), mask), "SetCommMask");
  }

  bool Purge(DeviceHandle handle, std::uint32_t flags) override {
    return Checked(PurgeComm(ToHandle(handle), flags), "PurgeComm");
  }

  bool Read(DeviceHandle handle, std::uint8_t* destination, std::uint32_t count,
            std::uint32_t& got) override {
    DWORD done = 0;
    const bool ok =
        Checked(ReadFile(ToHandle(handle), destination, count, &done, nullptr), "ReadFile");
    got = done;
    return ok;
  }

  bool Write(DeviceHandle handle, const std::uint8_t* bytes, std::uint32_t count,
             std::uint32_t& written) override {
    DWORD done = 0;
    const bool ok = Checked(WriteFile(ToHandle(handle), bytes, count, &done, nullptr), "WriteFile");
    written = done;
    return ok;
  }

  bool Drain(DeviceHandle handle) override {
    return Checked(FlushFileBuffers(ToHandle(handle)), "FlushFileBuffers");
  }

  bool ClearErrors(DeviceHandle handle, std::uint32_t& errorFlags,
                   std::uint32_t* outputQueue) override {
    DWORD flags = 0;
    COMSTAT status{};
    bool ok = Checked(
        ClearCommError(ToHandle(handle), &flags, outputQueue != nullptr ? &status : nullptr),
        "ClearCommError");
    if (ok && outputQueue != nullptr && status.cbOutQue > 0) {
      // Callers ask again until the queue is empty: wait here instead of letting them spin.
      DWORD laterFlags = 0;
      ok = Drain(handle) &&
           Checked(ClearCommError(ToHandle(handle), &laterFlags, &status), "ClearCommError");
      flags |= laterFlags;
    }
    errorFlags = flags;
    if (outputQueue != nullptr) {
      *outputQueue = status.cbOutQue;
    }
    return ok;
  }

  bool Close(DeviceHandle handle) override {
    return Checked(CloseHandle(ToHandle(handle)), "CloseHandle");
  }

  std::int32_t LastError() override { return static_cast<std::int32_t>(GetLastError()); }

 private:
  static bool ReadState(DeviceHandle handle, DCB& block) {
    block.DCBlength = sizeof block;
    return Checked(GetCommState(ToHandle(handle), &block), "GetCommState");
  }
};

}  // namespace

SerialApi& SystemSerialApi() {
  static Win32SerialApi api;
  return api;
}

}  // namespace flashdesk::platform
