#include "platform/posix/PosixSerialApi.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>

#include "platform/posix/UniqueFd.h"

namespace flashdesk::platform {
namespace {

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

}  // namespace

bool MakeRawTermios(const LineSettings& line, termios& options) {
  const auto entry = std::find_if(std::begin(kBaudSpeeds), std::end(kBaudSpeeds),
                                  [&](const BaudSpeed& s) { return s.baud == line.baudRate; });
  if (entry == std::end(kBaudSpeeds) || line.dataBits < 5 || line.dataBits > 8) {
    return false;
  }
  ::cfmakeraw(&options);
  options.c_cflag |= CLOCAL | CREAD;
  ::cfsetispeed(&options, entry->speed);
  ::cfsetospeed(&options, entry->speed);
  options.c_cflag = (options.c_cflag & ~CSIZE) | kCharacterSizes[line.dataBits - 5];
  options.c_cflag &= ~(PARENB | PARODD | CSTOPB | CRTSCTS);
  if (line.parity != Parity::kNone) {
    options.c_cflag |= PARENB | (line.parity == Parity::kOdd ? PARODD : 0);
  }
  if (line.stopBits == StopBits::kTwo) {
    options.c_cflag |= CSTOPB;
  }
  if (line.flowControl == FlowControl::kHardware) {
    options.c_cflag |= CRTSCTS;
  }
  // Parity is checked whenever the line carries it, as on Windows.
  options.c_iflag &= ~(IXON | IXOFF);
  options.c_iflag |= INPCK | (line.flowControl == FlowControl::kSoftware ? IXON | IXOFF : 0);
  options.c_cc[VSTART] = 0x11;
  options.c_cc[VSTOP] = 0x13;
  options.c_cc[VMIN] = 0;
  options.c_cc[VTIME] = 0;
  return true;
}

SerialFailure PosixSerialApi::Open(const std::string& path, const LineSettings& line,
                                   DeviceHandle& handle) {
  handle = kInvalidHandle;
  // Non-blocking so that a modem line without carrier cannot hang the open; every wait
  // afterwards goes through poll with the call's time-outs.
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  bool exclusive = false;
  const auto failed = [&](const char* call, int code) -> SerialFailure {
    if (exclusive) {
      ::ioctl(fd.Get(), TIOCNXCL);  // others keep the terminal open and must reach it
    }
    return TraceSerialFailure("Cannot open serial device " + path, call, code);
  };
  if (fd.Get() < 0) {
    return failed("open", errno);
  }
  if (fd.Get() < 3) {
    // Keeps 0 free: callers take a zero handle for no handle at all.
    fd.Reset(::fcntl(fd.Get(), F_DUPFD_CLOEXEC, 3));
    if (fd.Get() < 0) {
      return failed("fcntl", errno);
    }
  }
  // The lock excludes a second FlashDesk even for root, who is not bound by TIOCEXCL.
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    return failed("flock", errno);
  }
  if (::ioctl(fd.Get(), TIOCEXCL) != 0) {
    return failed("ioctl TIOCEXCL", errno);
  }
  exclusive = true;
  Device device{path, {}};
  if (::tcgetattr(fd.Get(), &device.saved) != 0) {
    return failed("tcgetattr", errno);
  }
  termios options = device.saved;
  if (!MakeRawTermios(line, options)) {
    return failed("tcsetattr", EINVAL);
  }
  if (::tcsetattr(fd.Get(), TCSANOW, &options) != 0) {
    return failed("tcsetattr", errno);
  }
  std::lock_guard<std::mutex> guard(lock);
  devices[fd.Get()] = device;
  handle = fd.Release();
  return {};
}

SerialFailure PosixSerialApi::Close(DeviceHandle handle) {
  SerialFailure failure;
  const int fd = Known(handle, failure);
  if (fd < 0) {
    return failure;
  }
  Device device;
  {
    std::lock_guard<std::mutex> guard(lock);
    device = devices[fd];
  }
  // Leaves the terminal as it was found, as Qt Serial Port does; a device that is gone
  // refuses, which only the trace needs to know.
  if (::tcsetattr(fd, TCSANOW, &device.saved) != 0) {
    Failed(fd, "tcsetattr", errno);
  }
  ::ioctl(fd, TIOCNXCL);
  {
    // Before close: the number may be reused at once.
    std::lock_guard<std::mutex> guard(lock);
    devices.erase(fd);
  }
  // On Linux the descriptor is released even when close reports an error: never retry.
  if (::close(fd) != 0) {
    return TraceSerialFailure("Serial device " + device.path, "close", errno);
  }
  return {};
}

SerialFailure PosixSerialApi::SetDtr(DeviceHandle handle, bool raised) {
  SerialFailure failure;
  const int fd = Known(handle, failure);
  int bits = TIOCM_DTR;
  // A pseudo-terminal has no modem lines and says ENOTTY.
  if (fd >= 0 && ::ioctl(fd, raised ? TIOCMBIS : TIOCMBIC, &bits) != 0 && errno != ENOTTY) {
    return Failed(fd, raised ? "ioctl TIOCMBIS" : "ioctl TIOCMBIC", errno);
  }
  return failure;
}

SerialFailure PosixSerialApi::Discard(DeviceHandle handle, Queues queues) {
  SerialFailure failure;
  const int fd = Known(handle, failure);
  const int which =
      queues == Queues::kBoth ? TCIOFLUSH : (queues == Queues::kInput ? TCIFLUSH : TCOFLUSH);
  if (fd >= 0 && ::tcflush(fd, which) != 0) {
    return Failed(fd, "tcflush", errno);
  }
  return failure;
}

SerialFailure PosixSerialApi::Drain(DeviceHandle handle) {
  SerialFailure failure;
  const int fd = Known(handle, failure);
  while (fd >= 0 && ::tcdrain(fd) != 0) {
    if (errno != EINTR) {
      return Failed(fd, "tcdrain", errno);
    }
  }
  return failure;
}

SerialFailure PosixSerialApi::QueuedOutput(DeviceHandle handle, std::uint32_t& queued,
                                           LineErrors& errors) {
  queued = 0;
  errors = 0;
  SerialFailure failure;
  const int fd = Known(handle, failure);
  if (fd < 0) {
    return failure;
  }
  int pending = 0;
  if (::ioctl(fd, TIOCOUTQ, &pending) != 0) {
    return Failed(fd, "ioctl TIOCOUTQ", errno);
  }
  if (pending > 0) {
    if (SerialFailure drained = Drain(handle)) {
      return drained;
    }
    if (::ioctl(fd, TIOCOUTQ, &pending) != 0) {
      return Failed(fd, "ioctl TIOCOUTQ", errno);
    }
    if (pending > 0) {
      // Some drivers still count bytes in the UART's FIFO after tcdrain.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  queued = static_cast<std::uint32_t>(pending);
  return {};
}

SerialFailure PosixSerialApi::TakeLineErrors(DeviceHandle handle, LineErrors& errors) {
  errors = 0;  // termios keeps no error flags
  SerialFailure failure;
  Known(handle, failure);
  return failure;
}

int PosixSerialApi::Known(DeviceHandle handle, SerialFailure& failure) {
  std::lock_guard<std::mutex> guard(lock);
  if (handle < 0 || handle > INT_MAX || devices.count(static_cast<int>(handle)) == 0) {
    failure = SerialErrorOf("handle", EBADF);  // no system call made
    return -1;
  }
  return static_cast<int>(handle);
}

SerialError PosixSerialApi::Failed(int fd, const char* call, int code) {
  std::string path;
  {
    std::lock_guard<std::mutex> guard(lock);
    const auto device = devices.find(fd);
    path = device == devices.end() ? std::to_string(fd) : device->second.path;
  }
  return TraceSerialFailure("Serial device " + path, call, code);
}

SerialApi& SystemSerialApi() {
  static PosixSerialApi api;
  return api;
}

}  // namespace flashdesk::platform
