#include "transport/SerialPort.h"

namespace flashdesk {

std::int32_t SerialPort::ReadBurst(std::uint8_t* destination) {
  std::int32_t count = 0;
  while (count < kMaxBurst && port.ReadByte(destination[count])) {
    ++count;
  }
  return count;
}

}  // namespace flashdesk
