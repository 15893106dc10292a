#pragma once

#include <string>

namespace qpcomm {

// A serial device found on this machine: the path to open and what to call it.
struct FoundSerialDevice {
    std::string device;
    std::string label;
};

} // namespace qpcomm
