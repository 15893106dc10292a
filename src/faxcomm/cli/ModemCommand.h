#pragma once

#include <string>
#include <vector>

// "qpx modem": talks to a modem through the serial port dispatcher.
//   qpx modem at [--port N | --device PATH] [--baud B] [--timeout MS] [--trace FILE] CMD...
//       sends each command with a carriage return and prints the answer lines up to the
//       final result (OK, ERROR, CONNECT, NO CARRIER, BUSY, NO DIALTONE, NO ANSWER);
//       exit status 1 when a command got no final result within the time-out.
//   qpx modem probe [--trace FILE]
//       tries Com1 to Com6 as modem detection does ("AT", "OK" within 18 ticks) and prints
//       one line per port, e.g. "Com 1: MODEM".
// --trace FILE dumps the port's trace (hexadecimal) into FILE.
int QpxModem(const std::vector<std::string>& args);
