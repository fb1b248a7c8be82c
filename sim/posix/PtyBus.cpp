#include "sim/posix/PtyBus.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace flashdesk::sim {

namespace {

// The longest the thread sleeps without looking at the bus: bounds how late a stop or a
// vanished bus is noticed.
constexpr int kLongestWaitMs = 50;

std::string Reason(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

PtyBus::PtyBus(SpeakerBus& bus, std::string linkPath) : bus(bus), linkPath(std::move(linkPath)) {}

PtyBus::~PtyBus() {
  Stop();
}

std::int64_t PtyBus::NowMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               started)
      .count();
}

bool PtyBus::Start(std::string& error) {
  if (thread.joinable() || master.Get() >= 0) {
    error = "already started";
    return false;
  }
  if (!OpenTerminal(error) || !MakeWakePipe(error) || !LinkSlave(error)) {
    Stop();
    return false;
  }
  started = std::chrono::steady_clock::now();
  stopping = false;
  thread = std::thread([this] { Serve(); });
  return true;
}

bool PtyBus::OpenTerminal(std::string& error) {
  master.Reset(::posix_openpt(O_RDWR | O_NOCTTY));
  if (master.Get() < 0) {
    error = Reason("posix_openpt");
    return false;
  }
  if (::grantpt(master.Get()) != 0 || ::unlockpt(master.Get()) != 0) {
    error = Reason("unlockpt");
    return false;
  }
  const char* name = ::ptsname(master.Get());
  if (name == nullptr) {
    error = Reason("ptsname");
    return false;
  }
  slavePath = name;
  heldSlave.Reset(::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (heldSlave.Get() < 0) {
    error = Reason(slavePath.c_str());
    return false;
  }
  termios raw{};
  if (::tcgetattr(heldSlave.Get(), &raw) != 0) {
    error = Reason("tcgetattr");
    return false;
  }
  ::cfmakeraw(&raw);
  if (::tcsetattr(heldSlave.Get(), TCSANOW, &raw) != 0) {
    error = Reason("tcsetattr");
    return false;
  }
  const int flags = ::fcntl(master.Get(), F_GETFL);
  if (flags < 0 || ::fcntl(master.Get(), F_SETFL, flags | O_NONBLOCK) != 0 ||
      ::fcntl(master.Get(), F_SETFD, FD_CLOEXEC) != 0) {
    error = Reason("fcntl");
    return false;
  }
  return true;
}

bool PtyBus::MakeWakePipe(std::string& error) {
  int wake[2];
  if (::pipe(wake) != 0) {
    error = Reason("pipe");
    return false;
  }
  wakeRead.Reset(wake[0]);
  wakeWrite.Reset(wake[1]);
  return true;
}

bool PtyBus::LinkSlave(std::string& error) {
  struct stat existing {};
  if (::lstat(linkPath.c_str(), &existing) == 0) {
    if (!S_ISLNK(existing.st_mode)) {
      error = linkPath + " exists and is not a link";
      return false;
    }
    ::unlink(linkPath.c_str());
  }
  if (::symlink(slavePath.c_str(), linkPath.c_str()) != 0) {
    error = Reason(linkPath.c_str());
    return false;
  }
  linked = true;
  return true;
}

void PtyBus::Stop() {
  stopping = true;
  if (thread.joinable()) {
    const char wake = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wakeWrite.Get(), &wake, 1);
    thread.join();
  }
  CloseTerminal();
  wakeRead.Reset(-1);
  wakeWrite.Reset(-1);
  if (linked) {
    ::unlink(linkPath.c_str());
    linked = false;
  }
}

void PtyBus::Vanish() {
  vanished = true;
  CloseTerminal();
}

void PtyBus::CloseTerminal() {
  std::lock_guard<std::mutex> hold(terminalMutex);
  master.Reset(-1);
  heldSlave.Reset(-1);
}

void PtyBus::Serve() {
  std::vector<std::uint8_t> incoming(4096);
  std::vector<std::uint8_t> outgoing;
  while (!stopping.load()) {
    if (!vanished.load() && bus.Vanished()) {
      Vanish();
    }
    int waitMs = kLongestWaitMs;
    if (const auto next = bus.NextOutputTime(NowMs())) {
      waitMs = static_cast<int>(
          std::max<std::int64_t>(0, std::min<std::int64_t>(*next - NowMs(), waitMs)));
    }
    int masterFd;
    {
      std::lock_guard<std::mutex> hold(terminalMutex);
      masterFd = master.Get();
    }
    pollfd watched[2] = {{wakeRead.Get(), POLLIN, 0}, {masterFd, POLLIN, 0}};
    const int ready = ::poll(watched, masterFd >= 0 ? 2 : 1, waitMs);
    if (ready < 0 && errno != EINTR) {
      break;
    }
    std::lock_guard<std::mutex> hold(terminalMutex);
    if (master.Get() < 0) {
      continue;
    }
    if (ready > 0 && (watched[1].revents & POLLIN) != 0) {
      const ssize_t got = ::read(master.Get(), incoming.data(), incoming.size());
      if (got > 0) {
        bus.Receive(incoming.data(), static_cast<std::size_t>(got), NowMs());
      }
    }
    outgoing.clear();
    bus.TakeOutput(NowMs(), outgoing);
    std::size_t sent = 0;
    while (sent < outgoing.size()) {
      const ssize_t wrote = ::write(master.Get(), outgoing.data() + sent, outgoing.size() - sent);
      if (wrote <= 0) {
        break;  // nobody reads and the queue is full: the bytes are lost, as on a real line
      }
      sent += static_cast<std::size_t>(wrote);
    }
  }
}

}  // namespace flashdesk::sim
