// Reads and writes of the POSIX serial devices: non-blocking descriptors that wait in poll.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>

#include "platform/posix/PosixSerialApi.h"

namespace flashdesk::platform {
namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

SteadyTime After(std::uint64_t milliseconds) {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
}

// Milliseconds left until deadline for poll, rounded up so a wait never ends early.
int MillisecondsUntil(SteadyTime deadline) {
  const auto left = deadline - std::chrono::steady_clock::now();
  if (left <= std::chrono::steady_clock::duration::zero()) {
    return 0;
  }
  const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<int>(std::min<std::int64_t>(milliseconds, INT_MAX));
}

}  // namespace

SerialFailure PosixSerialApi::Read(DeviceHandle handle, std::uint8_t* destination,
                                   std::uint32_t count, ReadTimeouts timeouts, std::uint32_t& got) {
  got = 0;
  SerialFailure failure;
  const int fd = Known(handle, failure);
  if (fd < 0) {
    return failure;
  }
  const SteadyTime firstByte = After(std::min(timeouts.firstByteMs, timeouts.totalMs));
  const SteadyTime total = After(timeouts.totalMs);
  while (got < count) {
    pollfd request{fd, POLLIN, 0};
    const int ready = ::poll(&request, 1, MillisecondsUntil(got == 0 ? firstByte : total));
    if (ready < 0 && errno == EINTR) {
      continue;
    }
    if (ready < 0) {
      return Failed(fd, "poll", errno);
    }
    if (ready == 0) {
      return {};  // time-out: got says how far the read came
    }
    const char* call = "poll (hang-up)";
    int code = EIO;
    if ((request.revents & POLLIN) != 0) {
      const ssize_t n = ::read(fd, destination + got, count - got);
      if (n > 0) {
        got += static_cast<std::uint32_t>(n);
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        continue;
      }
      call = "read";
      code = n < 0 ? errno : EIO;
    }
    // A hung-up device is always ready yet gives nothing. Waiting out the time-out keeps
    // callers that read in a loop from spinning.
    if (got == 0) {
      std::this_thread::sleep_until(firstByte);
    }
    return Failed(fd, call, code);
  }
  return {};
}

SerialFailure PosixSerialApi::Write(DeviceHandle handle, const std::uint8_t* bytes,
                                    std::uint32_t count, std::uint32_t& written) {
  written = 0;
  SerialFailure failure;
  const int fd = Known(handle, failure);
  if (fd < 0) {
    return failure;
  }
  const SteadyTime deadline = After(std::uint64_t{kWriteMsPerByte} * count + kWriteSlackMs);
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
      return Failed(fd, "write", errno);
    }
    // The driver's buffer is full: wait for room until the write time-out passes.
    const int waitMs = MillisecondsUntil(deadline);
    if (waitMs == 0) {
      return {};  // a short write, as the time-out allows
    }
    pollfd request{fd, POLLOUT, 0};
    const int ready = ::poll(&request, 1, waitMs);
    if (ready < 0 && errno != EINTR) {
      return Failed(fd, "poll", errno);
    }
    if (ready > 0 && (request.revents & POLLOUT) == 0) {
      return Failed(fd, "poll (hang-up)", EIO);
    }
  }
  return {};
}

}  // namespace flashdesk::platform
