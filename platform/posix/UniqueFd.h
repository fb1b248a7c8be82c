#pragma once

#include <unistd.h>

#include <utility>

namespace flashdesk::platform {

// Owns a descriptor until it is handed out, so every early return closes it.
class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() {
    if (fd >= 0) {
      ::close(fd);
    }
  }
  void Reset(int other) {
    UniqueFd old(fd);
    fd = other;
  }
  int Get() const { return fd; }
  int Release() { return std::exchange(fd, -1); }

 private:
  int fd;
};

}  // namespace flashdesk::platform
