#pragma once

#include "testing/PseudoTerminal.h"
#include "transport/SerialPort.h"

namespace flashdesk::bench {

// A SerialPort opened on the slave of a pseudo-terminal (as port 3); the master is the bus.
struct PtyLine {
  PtyLine() { ports.Link(3, pty.SlavePath()); }
  bool Open() { return port.Open(3); }

  fakes::PseudoTerminal pty;
  fakes::PortFolder ports;
  SerialPort port{platform::SystemSerialApi()};
};

}  // namespace flashdesk::bench
