#include "faxcomm/core/PortDeviceName.h"

#include "common/Settings.h"
#include "faxcomm/core/PortAssignment.h"

#include <algorithm>

namespace qpcomm {

std::string DeviceNameForPort(int comNumber) {
    return DeviceNameForPort(comNumber, SettingsFileName());
}

std::string DeviceNameForPort(int comNumber, const std::string& iniPath) {
    if (comNumber < 1) {
        return {};
    }
    return PortAssignment::Current(iniPath, comNumber).Choice(comNumber).device;
}

PortChoice PortChoiceFor(int comNumber) {
    if (comNumber < 1) {
        return PortChoice{comNumber, {}, {}, false};
    }
    return PortAssignment::Current(SettingsFileName(), comNumber).Choice(comNumber);
}

std::vector<PortChoice> PortChoices() {
    return PortAssignment::Current(SettingsFileName()).Choices();
}

} // namespace qpcomm
