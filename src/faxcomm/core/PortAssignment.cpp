#include "faxcomm/core/PortAssignment.h"

#include "common/IniFile.h"
#include "faxcomm/core/SerialDeviceScan.h"
#include "faxcomm/core/TestLine.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace qpcomm {

namespace {

// The label of a pinned device: the found device's label when it is one of them (through
// any link), else its short name.
std::string PinnedLabel(const std::string& device, const std::vector<FoundSerialDevice>& found) {
    if (device == TestLineDeviceName) {
        return TestLineLabel;
    }
    const std::string resolved = SerialDeviceScan::Resolved(device);
    for (const FoundSerialDevice& candidate : found) {
        if (candidate.device == device ||
            SerialDeviceScan::Resolved(candidate.device) == resolved) {
            return candidate.label;
        }
    }
    return SerialDeviceScan::ShortDeviceName(device);
}

} // namespace

PortAssignment PortAssignment::Build(const std::map<int, std::string>& pinned,
                                     const std::vector<FoundSerialDevice>& found, int count) {
    count = std::max(count, 6);
    PortAssignment assignment;
    std::set<std::string> taken; // resolved paths already opened by some choice
    for (const auto& [number, device] : pinned) {
        if (number >= 1 && number <= count && !device.empty()) {
            taken.insert(SerialDeviceScan::Resolved(device));
        }
    }
    auto next = found.begin();
    for (int number = 1; number <= count; ++number) {
        PortChoice choice;
        choice.comNumber = number;
        const auto pin = pinned.find(number);
        if (pin != pinned.end() && !pin->second.empty()) {
            choice.device = pin->second;
            choice.label = PinnedLabel(pin->second, found);
            choice.pinned = true;
            assignment.choices_.push_back(choice);
            continue;
        }
        if (number == TestLinePortIndex + 1) {
            // The seventh choice is the built-in test line unless the settings say otherwise.
            choice.device = TestLineDeviceName;
            choice.label = TestLineLabel;
            assignment.choices_.push_back(choice);
            continue;
        }
        while (next != found.end() && taken.count(SerialDeviceScan::Resolved(next->device))) {
            ++next;
        }
        if (next != found.end()) {
            choice.device = next->device;
            choice.label = next->label;
            taken.insert(SerialDeviceScan::Resolved(next->device));
            ++next;
        } else {
            const std::string fallback = "/dev/ttyS" + std::to_string(number - 1);
            if (!taken.count(SerialDeviceScan::Resolved(fallback))) {
                choice.device = fallback;
            }
        }
        assignment.choices_.push_back(choice);
    }
    return assignment;
}

PortAssignment PortAssignment::Current(const std::string& iniPath, int count) {
    const IniFile ini(iniPath);
    std::map<int, std::string> pinned;
    for (int number = 1; number <= std::max(count, 6); ++number) {
        const std::string device = ini.ReadString("Ports", "Com" + std::to_string(number), "");
        if (!device.empty()) {
            pinned[number] = device;
        }
    }
    return Build(pinned, SerialDeviceScan::All(), count);
}

const PortChoice& PortAssignment::Choice(int comNumber) const {
    if (comNumber < 1 || comNumber > static_cast<int>(choices_.size())) {
        throw std::out_of_range("no port number " + std::to_string(comNumber));
    }
    return choices_[static_cast<std::size_t>(comNumber - 1)];
}

} // namespace qpcomm
