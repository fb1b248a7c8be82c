#include "protocol/Frame.h"
#include "transport/SerialPort.h"

namespace flashdesk {

void SerialPort::SendCommand(std::uint8_t command, std::uint8_t destination, std::uint8_t* frame) {
  Write(frame, FrameCommand(command, destination, frame));
}

}  // namespace flashdesk
