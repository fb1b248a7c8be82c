#pragma once

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace flashdesk::bench {

// The window benchmarks draw offscreen unless a platform is chosen.
inline void UseOffscreenByDefault() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

inline double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// The value below which the given share (0 to 1) of the samples lie.
inline double Percentile(std::vector<double> samples, double share) {
  std::sort(samples.begin(), samples.end());
  const auto index = static_cast<std::size_t>(share * static_cast<double>(samples.size() - 1));
  return samples[index];
}

// Prints one figure with its target; false when the target is missed.
inline bool Report(const char* what, double value, const char* unit, double target) {
  const bool met = value < target;
  std::printf("%-58s %8.2f %s  (target < %.0f %s) %s\n", what, value, unit, target, unit,
              met ? "ok" : "MISSED");
  return met;
}

}  // namespace flashdesk::bench
