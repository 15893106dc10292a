#pragma once

#include <string>

namespace qpcomm {

// The device a port number opens: key "Com<n>" of section [Ports] in the settings file,
// or "/dev/ttyS<n-1>" when the key is missing or empty.
std::string DeviceNameForPort(int comNumber);

// The same, read from the settings file at `iniPath`.
std::string DeviceNameForPort(int comNumber, const std::string& iniPath);

} // namespace qpcomm
