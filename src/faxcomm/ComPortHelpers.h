#pragma once

#include <QString>

class TQpComPort;

// Opens `port` and returns true; on failure returns false with `message` set to the
// wording shown to the user (port in use, port missing, other port error, other failure).
// Shows nothing itself.
bool OpenComPort(TQpComPort& port, QString& message);

// The wording OpenComPort gives for the open failure `code` of port `number`. A device the
// user may not open also gets the advice to join the "dialout" group.
QString OpenFailureMessage(int code, int number);

// Sends "AT&F" and a carriage return on the open `port` and waits up to 36 ticks (about
// two seconds) for "OK" in any case, without processing other events. True when "OK"
// came; false on time-out or any error.
bool ResetModem(TQpComPort& port);
