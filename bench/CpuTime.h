#pragma once

#include <sys/resource.h>

#include <chrono>

namespace flashdesk::bench {

// CPU seconds (user plus system) used so far by the process or by the calling thread.
inline double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

inline double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace flashdesk::bench
