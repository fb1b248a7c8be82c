#pragma once

#include <cstdint>

namespace flashdesk {

// Milliseconds from start to now, two ticks of platform::Clock, in wrap-around arithmetic
// (no signed overflow).
inline std::int32_t ElapsedMs(std::int32_t start, std::int32_t now) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(now) -
                                   static_cast<std::uint32_t>(start));
}

}  // namespace flashdesk
