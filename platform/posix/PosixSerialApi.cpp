#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/SerialApi.h"
#include "platform/SystemError.h"
#include "platform/Trace.h"
#include "platform/posix/UniqueFd.h"

namespace flashdesk::platform {
namespace {

using SteadyTime = std::chrono::steady_clock::time_point;
constexpr std::uint32_t kNoWait = 0xFFFFFFFF;  // MAXDWORD as read-interval value

thread_local std::int32_t lastError = 0;

// For what the handle bookkeeping refuses before any system call.
bool Fail(int code) {
  lastError = code;
  return false;
}

// A system call failed: its name and the reason go to the trace.
bool CallFailed(const char* call, int code) {
  lastError = code;
  Trace(std::string(call) + " : " + DescribeSystemError(code) + "\n");
  return false;
}

struct DeviceState {
  Timeouts timeouts;
  // Fields of the line settings that termios cannot hold are kept as last set.
  LineSettings lineSettings;
};

struct BaudSpeed {
  std::uint32_t baud;
  speed_t speed;
};

constexpr BaudSpeed kBaudSpeeds[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

// Character sizes of 5 to 8 data bits.
constexpr tcflag_t kCharacterSizes[] = {CS5, CS6, CS7, CS8};

// Milliseconds left until deadline for poll, rounded up so a wait never ends early.
int MillisecondsUntil(SteadyTime deadline) {
  const auto left = deadline - std::chrono::steady_clock::now();
  if (left <= std::chrono::steady_clock::duration::zero()) {
    return 0;
  }
  const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<int>(std::min<std::int64_t>(milliseconds, INT_MAX));
}

// The total time-out of one transfer of count bytes: multiplier * count + constant
// milliseconds; both zero means no limit, as on Windows.
struct TotalTimeout {
  TotalTimeout(std::uint32_t multiplier, std::uint32_t constant, std::uint32_t count)
      : unlimited(multiplier == 0 && constant == 0),
        deadline(
            std::chrono::steady_clock::now() +
            std::chrono::milliseconds(static_cast<std::uint64_t>(multiplier) * count + constant)) {}
  // For poll: -1 waits without limit.
  int RemainingMs() const { return unlimited ? -1 : MillisecondsUntil(deadline); }

  bool unlimited;
  SteadyTime deadline;
};

class PosixSerialApi : public SerialApi {
 public:
  DeviceHandle Open(const std::string& path) override {
    // Non-blocking so that a modem line without carrier cannot hang the open; every wait
    // afterwards goes through poll with the device's time-outs.
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.Get() < 0) {
      return OpenFailed("open", path, errno);
    }
    if (fd.Get() < 3) {
      // Keeps 0 free: callers take a zero handle for no handle at all.
      fd.Reset(::fcntl(fd.Get(), F_DUPFD_CLOEXEC, 3));
      if (fd.Get() < 0) {
        return OpenFailed("fcntl", path, errno);
      }
    }
    // The lock excludes a second FlashDesk even for root, who is not bound by TIOCEXCL.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
      return OpenFailed("flock", path, errno);
    }
    if (::ioctl(fd.Get(), TIOCEXCL) != 0) {
      return OpenFailed("ioctl TIOCEXCL", path, errno);
    }
    std::lock_guard<std::mutex> guard(stateLock);
    devices[fd.Get()] = DeviceState{};
    return fd.Release();
  }

  bool SetupQueues(DeviceHandle handle, std::uint32_t, std::uint32_t) override {
    // The tty driver sizes its own queues; only the handle is checked.
    return IsKnown(handle);
  }

  bool GetTimeouts(DeviceHandle handle, Timeouts& timeouts) override {
    std::lock_guard<std::mutex> guard(stateLock);
    const auto device = devices.find(static_cast<int>(handle));
    if (!IsDescriptor(handle) || device == devices.end()) {
      return Fail(EBADF);
    }
    timeouts = device->second.timeouts;
    return true;
  }

  bool SetTimeouts(DeviceHandle handle, const Timeouts& timeouts) override {
    std::lock_guard<std::mutex> guard(stateLock);
    const auto device = devices.find(static_cast<int>(handle));
    if (!IsDescriptor(handle) || device == devices.end()) {
      return Fail(EBADF);
    }
    device->second.timeouts = timeouts;
    return true;
  }

  bool GetLineSettings(DeviceHandle handle, LineSettings& settings) override {
    const int fd = static_cast<int>(handle);
    termios options{};
    if (!ReadAttributes(handle, options)) {
      return false;
    }
    settings = StoredState(fd).lineSettings;
    const speed_t speed = ::cfgetospeed(&options);
    for (const auto& entry : kBaudSpeeds) {
      if (entry.speed == speed) {
        settings.baudRate = entry.baud;
      }
    }
    for (std::uint8_t bits = 5; bits <= 8; ++bits) {
      if ((options.c_cflag & CSIZE) == kCharacterSizes[bits - 5]) {
        settings.byteSize = bits;
      }
    }
    if ((options.c_cflag & PARENB) == 0) {
      settings.parity = 0;
    } else {
      settings.parity = (options.c_cflag & PARODD) != 0 ? 1 : 2;
    }
    settings.stopBits = (options.c_cflag & CSTOPB) != 0 ? 2 : 0;
    settings.parityCheck = (options.c_iflag & INPCK) != 0;
    settings.outxCtsFlow = (options.c_cflag & CRTSCTS) != 0;
    settings.outX = (options.c_iflag & IXON) != 0;
    settings.inX = (options.c_iflag & IXOFF) != 0;
    settings.xonChar = static_cast<char>(options.c_cc[VSTART]);
    settings.xoffChar = static_cast<char>(options.c_cc[VSTOP]);
    return true;
  }

  bool SetLineSettings(DeviceHandle handle, const LineSettings& settings) override {
    const int fd = static_cast<int>(handle);
    termios options{};
    if (!ReadAttributes(handle, options)) {
      return false;
    }
    ::cfmakeraw(&options);
    options.c_cflag |= CLOCAL | CREAD;
    const auto entry =
        std::find_if(std::begin(kBaudSpeeds), std::end(kBaudSpeeds),
                     [&](const BaudSpeed& s) { return s.baud == settings.baudRate; });
    if (entry == std::end(kBaudSpeeds) || settings.byteSize < 5 || settings.byteSize > 8 ||
        settings.parity > 2 || (settings.stopBits != 0 && settings.stopBits != 2)) {
      return Fail(EINVAL);
    }
    ::cfsetispeed(&options, entry->speed);
    ::cfsetospeed(&options, entry->speed);
    options.c_cflag = (options.c_cflag & ~CSIZE) | kCharacterSizes[settings.byteSize - 5];
    options.c_cflag &= ~(PARENB | PARODD | CSTOPB | CRTSCTS);
    if (settings.parity == 1) {
      options.c_cflag |= PARENB | PARODD;
    } else if (settings.parity == 2) {
      options.c_cflag |= PARENB;
    }
    if (settings.stopBits == 2) {
      options.c_cflag |= CSTOPB;
    }
    constexpr std::uint8_t kRtsHandshake = 2;
    if (settings.outxCtsFlow || settings.rtsControl == kRtsHandshake) {
      options.c_cflag |= CRTSCTS;
    }
    // With no parity bit on the line INPCK has nothing to check, as on Windows.
    options.c_iflag &= ~(INPCK | IXON | IXOFF);
    options.c_iflag |= (settings.parityCheck ? INPCK : 0) | (settings.outX ? IXON : 0) |
                       (settings.inX ? IXOFF : 0);
    options.c_cc[VSTART] = static_cast<cc_t>(settings.xonChar);
    options.c_cc[VSTOP] = static_cast<cc_t>(settings.xoffChar);
    options.c_cc[VMIN] = 0;
    options.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &options) != 0) {
      return CallFailed("tcsetattr", errno);
    }
    std::lock_guard<std::mutex> guard(stateLock);
    devices[fd].lineSettings = settings;
    return true;
  }

  bool SetDtr(DeviceHandle handle, bool raised) override {
    if (!IsKnown(handle)) {
      return false;
    }
    int bits = TIOCM_DTR;
    // Pseudo-terminals refuse modem-control requests with ENOTTY.
    if (::ioctl(static_cast<int>(handle), raised ? TIOCMBIS : TIOCMBIC, &bits) != 0) {
      return CallFailed(raised ? "ioctl TIOCMBIS" : "ioctl TIOCMBIC", errno);
    }
    return true;
  }

  bool SetEventMask(DeviceHandle handle, std::uint32_t) override {
    // No event is ever waited for, so the mask has no POSIX counterpart.
    return IsKnown(handle);
  }

  bool Purge(DeviceHandle handle, std::uint32_t flags) override {
    if (!IsKnown(handle)) {
      return false;
    }
    const bool input = (flags & (kPurgeRxAbort | kPurgeRxClear)) != 0;
    const bool output = (flags & (kPurgeTxAbort | kPurgeTxClear)) != 0;
    if (!input && !output) {
      return true;
    }
    const int queue = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    if (::tcflush(static_cast<int>(handle), queue) != 0) {
      return CallFailed("tcflush", errno);
    }
    return true;
  }

  bool Read(DeviceHandle handle, std::uint8_t* destination, std::uint32_t count,
            std::uint32_t& got) override {
    got = 0;
    if (!IsKnown(handle)) {
      return false;
    }
    const int fd = static_cast<int>(handle);
    const Timeouts timeouts = StoredState(fd).timeouts;
    const TotalTimeout total(timeouts.readTotalTimeoutMultiplier, timeouts.readTotalTimeoutConstant,
                             count);
    const bool returnAtOnce = total.unlimited && timeouts.readIntervalTimeout == kNoWait;
    const bool intervalLimited =
        timeouts.readIntervalTimeout != 0 && timeouts.readIntervalTimeout != kNoWait;
    while (got < count) {
      int waitMs = returnAtOnce ? 0 : total.RemainingMs();
      if (got > 0 && intervalLimited) {
        const int interval = static_cast<int>(std::min<std::uint32_t>(
            timeouts.readIntervalTimeout, static_cast<std::uint32_t>(INT_MAX)));
        waitMs = waitMs < 0 ? interval : std::min(waitMs, interval);
      }
      pollfd request{fd, POLLIN, 0};
      const int ready = ::poll(&request, 1, waitMs);
      if (ready < 0 && errno == EINTR) {
        continue;
      }
      if (ready < 0) {
        return CallFailed("poll", errno);
      }
      if (ready == 0) {
        return true;  // time-out: got says how far the read came
      }
      const char* failedCall = "poll (hang-up)";
      int failure = EIO;
      if ((request.revents & POLLIN) != 0) {
        failedCall = "read";
        const ssize_t n = ::read(fd, destination + got, count - got);
        if (n > 0) {
          got += static_cast<std::uint32_t>(n);
          continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
          continue;
        }
        failure = n < 0 ? errno : EIO;
      }
      // A hung-up device is always ready yet gives nothing. Waiting out the time-out keeps
      // callers that read in a loop from spinning.
      if (got == 0 && !total.unlimited) {
        std::this_thread::sleep_until(total.deadline);
      }
      return CallFailed(failedCall, failure);
    }
    return true;
  }

  bool Write(DeviceHandle handle, const std::uint8_t* bytes, std::uint32_t count,
             std::uint32_t& written) override {
    written = 0;
    if (!IsKnown(handle)) {
      return false;
    }
    const int fd = static_cast<int>(handle);
    const Timeouts timeouts = StoredState(fd).timeouts;
    const TotalTimeout total(timeouts.writeTotalTimeoutMultiplier,
                             timeouts.writeTotalTimeoutConstant, count);
    while (written < count) {
      const ssize_t n = ::write(fd, bytes + written, count - written);
      if (n > 0) {
        written += static_cast<std::uint32_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n < 0 && errno != EAGAIN) {
        return CallFailed("write", errno);
      }
      // The driver's buffer is full: wait for room until the write time-out passes.
      const int waitMs = total.RemainingMs();
      if (waitMs == 0) {
        return true;  // a short write, as the time-out allows
      }
      pollfd request{fd, POLLOUT, 0};
      const int ready = ::poll(&request, 1, waitMs);
      if (ready < 0 && errno != EINTR) {
        return CallFailed("poll", errno);
      }
      if (ready > 0 && (request.revents & POLLOUT) == 0) {
        return CallFailed("poll (hang-up)", EIO);
      }
    }
    return true;
  }

  bool Drain(DeviceHandle handle) override {
    if (!IsKnown(handle)) {
      return false;
    }
    while (::tcdrain(static_cast<int>(handle)) != 0) {
      if (errno != EINTR) {
        return CallFailed("tcdrain", errno);
      }
    }
    return true;
  }

  bool ClearErrors(DeviceHandle handle, std::uint32_t& errorFlags,
                   std::uint32_t* outputQueue) override {
    errorFlags = 0;
    if (!IsKnown(handle)) {
      return false;
    }
    if (outputQueue == nullptr) {
      return true;
    }
    int pending = 0;
    if (!QueuedOutput(handle, pending)) {
      return false;
    }
    if (pending > 0) {
      // Callers ask again until the queue is empty: block here instead of letting them spin.
      if (!Drain(handle) || !QueuedOutput(handle, pending)) {
        return false;
      }
      if (pending > 0) {
        // Some drivers still count bytes in the UART's FIFO after tcdrain.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    *outputQueue = static_cast<std::uint32_t>(pending);
    return true;
  }

  bool Close(DeviceHandle handle) override {
    if (!IsKnown(handle)) {
      return false;
    }
    const int fd = static_cast<int>(handle);
    {
      std::lock_guard<std::mutex> guard(stateLock);
      devices.erase(fd);
    }
    // On Linux the descriptor is released even when close reports an error: never retry.
    if (::close(fd) != 0) {
      return CallFailed("close", errno);
    }
    return true;
  }

  std::int32_t LastError() override { return lastError; }

 private:
  static bool IsDescriptor(DeviceHandle handle) { return handle >= 0 && handle <= INT_MAX; }

  DeviceHandle OpenFailed(const char* call, const std::string& path, int code) {
    lastError = code;
    Trace("Cannot open serial device " + path + ": " + DescribeSystemError(code) + " (" + call +
          ")");
    return kInvalidHandle;
  }

  bool IsKnown(DeviceHandle handle) {
    std::lock_guard<std::mutex> guard(stateLock);
    if (!IsDescriptor(handle) || devices.count(static_cast<int>(handle)) == 0) {
      return Fail(EBADF);
    }
    return true;
  }

  DeviceState StoredState(int fd) {
    std::lock_guard<std::mutex> guard(stateLock);
    const auto device = devices.find(fd);
    return device == devices.end() ? DeviceState{} : device->second;
  }

  bool ReadAttributes(DeviceHandle handle, termios& options) {
    if (!IsKnown(handle)) {
      return false;
    }
    if (::tcgetattr(static_cast<int>(handle), &options) != 0) {
      return CallFailed("tcgetattr", errno);
    }
    return true;
  }

  bool QueuedOutput(DeviceHandle handle, int& pending) {
    if (::ioctl(static_cast<int>(handle), TIOCOUTQ, &pending) != 0) {
      return CallFailed("ioctl TIOCOUTQ", errno);
    }
    return true;
  }

  std::mutex stateLock;
  std::map<int, DeviceState> devices;
};

}  // namespace

SerialApi& SystemSerialApi() {
  static PosixSerialApi api;
  return api;
}

}  // namespace flashdesk::platform
