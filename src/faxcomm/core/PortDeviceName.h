#pragma once

#include "faxcomm/core/PortChoice.h"

#include <string>
#include <vector>

namespace qpcomm {

// What a user who may not open a serial device does about it (Debian gives serial devices
// to the "dialout" group).
inline constexpr char DialoutAdvice[] =
    "You may not use this serial device. Ask your administrator to add your user to the "
    "\"dialout\" group (sudo adduser $USER dialout), then log out and log in again.";

// The device a port number opens: key "Com<n>" of section [Ports] in the settings file
// when set; otherwise the n-th of the serial devices found on this machine that no key
// names (USB modems first, then UART ports); otherwise "/dev/ttyS<n-1>" (see
// PortAssignment).
std::string DeviceNameForPort(int comNumber);

// The same, read from the settings file at `iniPath`.
std::string DeviceNameForPort(int comNumber, const std::string& iniPath);

// The device and the name people see for port number `comNumber`, from the settings file
// in the data folder; what the port windows list beside each "Com<n>".
PortChoice PortChoiceFor(int comNumber);

// Com1 .. Com6 as PortChoiceFor gives them, from one look at the machine.
std::vector<PortChoice> PortChoices();

} // namespace qpcomm
