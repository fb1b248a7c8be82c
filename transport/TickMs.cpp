#include "transport/TickMs.h"

#include "platform/Clock.h"

namespace flashdesk {

std::int32_t TickMs() {
  return platform::SystemClock().TickMs();
}

}  // namespace flashdesk
