#pragma once

#include <string>

namespace qpcomm {

// What one port number ("Com<n>") stands for on this machine: the device it opens and a
// short name for people ("USRobotics USB Modem (ttyACM0)", "ttyS0"; empty when no device
// was found for it).
struct PortChoice {
    int comNumber = 0;
    std::string device; // the path opened; empty when no device is left for the choice
    std::string label;
    bool pinned = false; // named by key "Com<n>" of [Ports] in the settings file

    // "Com1  USRobotics USB Modem (ttyACM0)", or "Com3" alone when there is no label.
    std::string Caption() const;
};

} // namespace qpcomm
