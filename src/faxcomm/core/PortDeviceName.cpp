#include "faxcomm/core/PortDeviceName.h"

#include "common/IniFile.h"
#include "common/Settings.h"

namespace qpcomm {

std::string DeviceNameForPort(int comNumber) {
    return DeviceNameForPort(comNumber, SettingsFileName());
}

std::string DeviceNameForPort(int comNumber, const std::string& iniPath) {
    const std::string fallback = "/dev/ttyS" + std::to_string(comNumber - 1);
    const IniFile ini(iniPath);
    const std::string name = ini.ReadString("Ports", "Com" + std::to_string(comNumber), "");
    return name.empty() ? fallback : name;
}

} // namespace qpcomm
