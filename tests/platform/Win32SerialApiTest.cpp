// The Windows calls behind each serial-port operation, recorded in order with their values
// (run under Wine in CI).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <set>
#include <string>

#include "platform/win32/Win32SerialApi.h"
#include "tests/platform/TraceCapture.h"
#include "transport/Comm.h"

namespace flashdesk::platform {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

// Records "SetupComm 1 1; ..." and answers from a script.
class RecordingCommCalls : public Win32CommCalls {
 public:
  std::set<std::string> failing;  // calls that fail with lastError
  DWORD lastError = ERROR_GEN_FAILURE;
  std::deque<int> incoming;  // one byte per ReadFile; none is a time-out
  std::deque<DWORD> queued;  // cbOutQue per ClearCommError with a status
  std::string calls;

  HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                     DWORD disposition, DWORD flags, HANDLE templateFile) override {
    const bool plain = security == nullptr && templateFile == nullptr;
    const BOOL made = Record("CreateFileA " + std::string(name),
                             {access, share, disposition, flags, plain ? 0u : 1u});
    return made ? reinterpret_cast<HANDLE>(7) : INVALID_HANDLE_VALUE;
  }
  BOOL SetupComm(HANDLE, DWORD in, DWORD out) override { return Record("SetupComm", {in, out}); }
  BOOL GetCommTimeouts(HANDLE, LPCOMMTIMEOUTS t) override {
    *t = {99, 99, 99, 99, 99};
    return Record("GetCommTimeouts");
  }
  BOOL SetCommTimeouts(HANDLE, LPCOMMTIMEOUTS t) override {
    return Record("SetCommTimeouts", {t->ReadIntervalTimeout, t->ReadTotalTimeoutMultiplier,
                                      t->ReadTotalTimeoutConstant, t->WriteTotalTimeoutMultiplier,
                                      t->WriteTotalTimeoutConstant});
  }
  BOOL GetCommState(HANDLE, LPDCB b) override {
    // A port left by another program with every field changed.
    *b = DCB{};
    b->DCBlength = sizeof *b;
    b->BaudRate = 300;
    b->ByteSize = 7;
    b->Parity = EVENPARITY;
    b->StopBits = TWOSTOPBITS;
    b->fOutxCtsFlow = b->fOutxDsrFlow = b->fDsrSensitivity = b->fOutX = b->fInX = 1;
    b->fDtrControl = DTR_CONTROL_ENABLE;
    b->fRtsControl = RTS_CONTROL_HANDSHAKE;
    b->XonChar = b->XoffChar = 'x';
    b->XonLim = b->XoffLim = 7;
    b->fAbortOnError = 1;  // not ours to change
    return Record("GetCommState");
  }
  BOOL SetCommState(HANDLE, LPDCB b) override {
    return Record(
        "SetCommState",
        {b->BaudRate, b->ByteSize, b->Parity, b->StopBits, b->fBinary, b->fParity, b->fOutxCtsFlow,
         b->fOutxDsrFlow, b->fDtrControl, b->fDsrSensitivity, b->fRtsControl, b->fOutX, b->fInX,
         DWORD(b->XonChar), DWORD(b->XoffChar), b->XonLim, b->XoffLim, b->fAbortOnError});
  }
  BOOL EscapeCommFunction(HANDLE, DWORD f) override {
    return Record(f == SETDTR ? "EscapeCommFunction SETDTR" : "EscapeCommFunction CLRDTR");
  }
  BOOL SetCommMask(HANDLE, DWORD mask) override { return Record("SetCommMask", {mask}); }
  BOOL PurgeComm(HANDLE, DWORD flags) override { return Record("PurgeComm", {flags}); }
  BOOL ReadFile(HANDLE, LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED o) override {
    *done = 0;
    if (!incoming.empty()) {
      *static_cast<std::uint8_t*>(buffer) = static_cast<std::uint8_t>(incoming.front());
      incoming.pop_front();
      *done = 1;
    }
    return Record("ReadFile", {count, o == nullptr ? 0u : 1u});
  }
  BOOL WriteFile(HANDLE, LPCVOID, DWORD count, LPDWORD done, LPOVERLAPPED o) override {
    *done = count;
    return Record("WriteFile", {count, o == nullptr ? 0u : 1u});
  }
  BOOL FlushFileBuffers(HANDLE) override { return Record("FlushFileBuffers"); }
  BOOL ClearCommError(HANDLE, LPDWORD errors, LPCOMSTAT status) override {
    *errors = 0;
    if (status != nullptr) {
      *status = COMSTAT{};
      status->cbOutQue = queued.empty() ? 0 : queued.front();
      if (!queued.empty())
        queued.pop_front();
    }
    return Record(status != nullptr ? "ClearCommError status" : "ClearCommError");
  }
  BOOL CloseHandle(HANDLE) override { return Record("CloseHandle"); }
  DWORD GetLastError() override { return lastError; }

 private:
  BOOL Record(std::string call, std::initializer_list<DWORD> numbers = {}) {
    for (const DWORD number : numbers)
      call += " " + std::to_string(number);
    calls += (calls.empty() ? "" : "; ") + call;
    return failing.count(call.substr(0, call.find(' '))) == 0;
  }
};

// GENERIC_READ | GENERIC_WRITE, no sharing, OPEN_EXISTING, no flags, nor security or template.
const std::string kCreate = "CreateFileA COM3 3221225472 0 3 0 0";
// 19200 8N1, binary, parity checked, no flow control of any kind, DTR and RTS left to us,
// XON 17 XOFF 19 at 100 bytes; abort-on-error as the port had it.
const std::string kLine = "SetCommState 19200 8 0 0 1 1 0 0 0 0 0 0 0 17 19 100 100 1";
const std::string kOpen = kCreate +
                          "; SetupComm 1 1; GetCommTimeouts; SetCommTimeouts 5 10 10 2 10; "
                          "GetCommState; " +
                          kLine + "; EscapeCommFunction SETDTR; SetCommMask 65535";
const std::string kClose = "EscapeCommFunction CLRDTR; PurgeComm 15; CloseHandle";

TEST(Win32SerialPort, EachOperationIsTheCallsItAlwaysWas) {
  const struct {
    const char* name;
    std::set<std::string> failing;
    std::string calls;
    int traced;  // lines, one per failed call
    std::function<void(RecordingCommCalls& calls, Comm& comm)> scene;
  } cases[] = {
      {"open and close",
       {},
       kOpen + "; " + kClose,
       0,
       [](RecordingCommCalls&, Comm& comm) { EXPECT_TRUE(comm.OpenPath("COM3")); }},
      {"refused queue sizes and time-outs leave the port usable",
       {"SetupComm", "GetCommTimeouts", "EscapeCommFunction"},
       kOpen + "; " + kClose,
       4,
       [](RecordingCommCalls&, Comm& comm) { EXPECT_TRUE(comm.OpenPath("COM3")); }},
      {"refused line settings close the port as ever, DTR lowered",
       {"SetCommState"},
       kCreate + "; SetupComm 1 1; GetCommTimeouts; SetCommTimeouts 5 10 10 2 10; GetCommState; " +
           kLine + "; " + kClose,
       1,
       [](RecordingCommCalls&, Comm& comm) {
         EXPECT_FALSE(comm.OpenPath("COM3"));
         EXPECT_EQ(comm.Errors(), 0xFFFFFFFFu);
       }},
      {"one-byte reads, a write after the queue drained, flush input",
       {},
       kOpen +
           "; ReadFile 1 0; ReadFile 1 0; ClearCommError; ClearCommError status; "
           "FlushFileBuffers; ClearCommError status; WriteFile 3 0; FlushFileBuffers; "
           "ClearCommError; ReadFile 1 0; ReadFile 1 0; ClearCommError; " +
           kClose,
       0,
       [](RecordingCommCalls& calls, Comm& comm) {
         ASSERT_TRUE(comm.OpenPath("COM3"));
         std::uint8_t byte = 0;
         calls.incoming = {0x41};
         EXPECT_TRUE(comm.ReadByte(byte));
         EXPECT_FALSE(comm.ReadByte(byte));
         calls.queued = {141, 0};
         const std::uint8_t frame[] = {0xF0, 0x01, 0xF7};
         comm.Write(frame, 3);
         calls.incoming = {0x42};
         comm.FlushInput();
       }},
  };
  for (const auto& c : cases) {
    RecordingCommCalls calls;
    calls.failing = c.failing;
    Win32SerialApi api(calls);
    fakes::TraceCapture trace;
    {
      Comm comm(api);
      c.scene(calls, comm);
    }
    EXPECT_EQ(calls.calls, c.calls) << c.name;
    EXPECT_EQ(trace.Lines().size(), std::size_t(c.traced)) << c.name;
    for (const std::string& line : trace.Lines()) {
      EXPECT_THAT(line, AllOf(HasSubstr("COM3"), HasSubstr("vanished, code 31"))) << c.name;
    }
  }
}

TEST(Win32SerialPort, AReadOfOtherTimeOutsSetsItsBlockOnce) {
  RecordingCommCalls calls;
  Win32SerialApi api(calls);
  DeviceHandle handle = kInvalidHandle;
  ASSERT_FALSE(api.Open("COM3", LineSettings{}, handle));
  calls.calls.clear();
  std::uint8_t bytes[4];
  std::uint32_t got = 0;
  calls.incoming = {1};
  EXPECT_FALSE(api.Read(handle, bytes, 1, {50, 50}, got));
  EXPECT_FALSE(api.Read(handle, bytes, 1, {50, 50}, got));
  EXPECT_FALSE(api.Read(handle, bytes, 1, {0, 0}, got));
  calls.incoming = {1, 2};
  EXPECT_FALSE(api.Read(handle, bytes, 4, {10, 100}, got));
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(calls.calls,
            "SetCommTimeouts 0 0 50 2 10; ReadFile 1 0; ReadFile 1 0; "
            "SetCommTimeouts 4294967295 0 0 2 10; ReadFile 1 0; "
            "SetCommTimeouts 0 0 10 2 10; ReadFile 1 0; SetCommTimeouts 0 0 90 2 10; ReadFile 3 0");
  EXPECT_FALSE(api.Close(handle));
}

TEST(Win32SerialErrors, EachCodeMeansWhatAUserCanActOn) {
  const struct {
    const char* call;
    DWORD code;
    SerialProblem problem;
  } cases[] = {
      {"CreateFileA", ERROR_ACCESS_DENIED, SerialProblem::kInUse},
      {"CreateFileA", ERROR_SHARING_VIOLATION, SerialProblem::kInUse},
      {"WriteFile", ERROR_ACCESS_DENIED, SerialProblem::kVanished},
      {"CreateFileA", ERROR_FILE_NOT_FOUND, SerialProblem::kMissing},
      {"CreateFileA", ERROR_PATH_NOT_FOUND, SerialProblem::kMissing},
      {"WriteFile", ERROR_DEVICE_REMOVED, SerialProblem::kVanished},
      {"WriteFile", ERROR_BAD_COMMAND, SerialProblem::kVanished},
      {"ReadFile", ERROR_OPERATION_ABORTED, SerialProblem::kVanished},
      {"ClearCommError", ERROR_GEN_FAILURE, SerialProblem::kVanished},
      {"WriteFile", ERROR_DEVICE_NOT_CONNECTED, SerialProblem::kVanished},
      {"GetCommState", ERROR_INVALID_FUNCTION, SerialProblem::kNotSerial},
      {"WriteFile", ERROR_SEM_TIMEOUT, SerialProblem::kTimedOut},
      {"SetCommState", ERROR_INVALID_PARAMETER, SerialProblem::kOther},
  };
  for (const auto& c : cases) {
    const SerialError error = SerialErrorOf(c.call, static_cast<std::int32_t>(c.code));
    EXPECT_EQ(ProblemName(error.problem), std::string(ProblemName(c.problem)))
        << c.call << " " << c.code;
    EXPECT_FALSE(error.message.empty());
  }
  EXPECT_THAT(DescribeSerialError(SerialErrorOf("CreateFileA", ERROR_ACCESS_DENIED)),
              HasSubstr("in use by another program"));
}

}  // namespace
}  // namespace flashdesk::platform
