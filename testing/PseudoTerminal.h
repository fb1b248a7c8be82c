#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace flashdesk::fakes {

// A pseudo-terminal whose slave stands in for a serial port. The test talks on the master.
class PseudoTerminal {
 public:
  PseudoTerminal() : master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    char name[128] = {};
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    slavePath = name;
    // Never read: it only shows what waits in the slave's input queue.
    observer = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (observer < 0) {
      throw std::runtime_error("pseudo-terminal slave does not open");
    }
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;
  ~PseudoTerminal() {
    CloseMaster();
    ::close(observer);
  }

  int Master() const { return master; }
  const std::string& SlavePath() const { return slavePath; }
  void Send(const std::vector<std::uint8_t>& bytes) const {
    for (std::size_t sent = 0; sent < bytes.size();) {
      const ssize_t n = ::write(master, bytes.data() + sent, bytes.size() - sent);
      if (n <= 0) {
        throw std::runtime_error("pseudo-terminal write failed");
      }
      sent += static_cast<std::size_t>(n);
    }
  }
  // Bytes sent on the master that wait in the slave's input queue.
  int Queued() const {
    int queued = 0;
    return ::ioctl(observer, FIONREAD, &queued) == 0 ? queued : -1;
  }
  // The terminal moves sent bytes to the slave in its own time: waits until count of them
  // wait there, at most 10 s.
  bool WaitUntilQueued(int count) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Queued() < count && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return Queued() >= count;
  }
  void CloseMaster() {
    if (master >= 0) {
      ::close(master);
    }
    master = -1;
  }

 private:
  int master;
  int observer = -1;
  std::string slavePath;
};

// A temporary folder of port links such as DIR/COM3 -> /dev/pts/N, with
// FLASHDESK_PORT_TEMPLATE pointing at it while the folder lives.
class PortFolder {
 public:
  PortFolder() {
    char pattern[] = "/tmp/flashdesk-ports-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
      throw std::runtime_error("no temporary folder");
    }
    folder = pattern;
    ::setenv("FLASHDESK_PORT_TEMPLATE", (folder + "/COM%i").c_str(), 1);
  }
  PortFolder(const PortFolder&) = delete;
  PortFolder& operator=(const PortFolder&) = delete;
  ~PortFolder() {
    ::unsetenv("FLASHDESK_PORT_TEMPLATE");
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }

  void Link(int port, const std::string& device) const {
    std::filesystem::create_symlink(device, PathOf(port));
  }
  std::string PathOf(int port) const { return folder + "/COM" + std::to_string(port); }

 private:
  std::string folder;
};

}  // namespace flashdesk::fakes
