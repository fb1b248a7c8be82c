#include "protocol/Frame.h"
#include "protocol/Protocol.h"
#include "transport/SerialPort.h"

namespace flashdesk {

void SerialPort::SendCommand(std::uint8_t command, std::uint8_t destination, std::uint8_t* frame) {
  frame[0] = kFrameStart;
  frame[1] = destination;
  frame[2] = command;
  const std::int32_t length = Seal(frame);
  Write(frame, length);
}

}  // namespace flashdesk
