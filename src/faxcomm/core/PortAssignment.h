#pragma once

#include "faxcomm/core/FoundSerialDevice.h"
#include "faxcomm/core/PortChoice.h"

#include <map>
#include <string>
#include <vector>

namespace qpcomm {

// Which device each port number opens. A port number named by key "Com<n>" of [Ports]
// (pinned) opens that device. The others take, in order of their numbers, the devices
// found on the machine (USB modems first, then UART ports; see SerialDeviceScan) that no
// pinned choice already uses. A choice left without a found device opens
// "/dev/ttyS<n-1>" as before, unless another choice already opens that device. Port
// number 7, when not named, is the built-in test line.
class PortAssignment {
public:
    // The choices Com1 .. Com<count> (at least six) from the pinned devices (by port
    // number) and the devices found, in their order.
    static PortAssignment Build(const std::map<int, std::string>& pinned,
                                const std::vector<FoundSerialDevice>& found, int count = 6);

    // The same from the settings file at `iniPath` and the devices on this machine.
    static PortAssignment Current(const std::string& iniPath, int count = 6);

    // The choice for port number `comNumber` (1 up to the count built).
    const PortChoice& Choice(int comNumber) const;
    const std::vector<PortChoice>& Choices() const { return choices_; }

private:
    std::vector<PortChoice> choices_;
};

} // namespace qpcomm
