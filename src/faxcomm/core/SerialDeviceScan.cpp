#include "faxcomm/core/SerialDeviceScan.h"

#include "faxcomm/core/UsbModemName.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qpcomm {

namespace fs = std::filesystem;

namespace {

// Entries of `folder` whose names start with `prefix`, as paths.
std::vector<fs::path> Entries(const std::string& folder, const std::string& prefix) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) == 0) {
            found.push_back(it->path());
        }
    }
    return found;
}

// The number after the prefix of "ttyS12"; -1 when the rest is not a number.
int NumberAfter(const std::string& name, std::size_t prefixLength) {
    const std::string digits = name.substr(prefixLength);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), ::isdigit)) {
        return -1;
    }
    return std::atoi(digits.c_str());
}

bool ExistsAt(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

} // namespace

std::string SerialDeviceScan::ByIdFolder() {
    const char* folder = std::getenv("QUILLPOST_SERIAL_BY_ID");
    return folder && *folder ? folder : "/dev/serial/by-id";
}

std::string SerialDeviceScan::DevFolder() {
    const char* folder = std::getenv("QUILLPOST_DEV_FOLDER");
    return folder && *folder ? folder : "/dev";
}

bool SerialDeviceScan::UsbSerialDevicePresent(const std::string& devFolder) {
    return !Entries(devFolder, "ttyACM").empty() || !Entries(devFolder, "ttyUSB").empty();
}

std::vector<FoundSerialDevice> SerialDeviceScan::All() {
    std::vector<FoundSerialDevice> found = UsbModems(ByIdFolder());
    for (auto& device : UnnamedUsbDevices(DevFolder(), found)) {
        found.push_back(std::move(device));
    }
    for (auto& device : UartPorts(DevFolder())) {
        found.push_back(std::move(device));
    }
    return found;
}

std::vector<FoundSerialDevice> SerialDeviceScan::UsbModems(const std::string& byIdFolder) {
    std::vector<fs::path> links = Entries(byIdFolder, "");
    std::sort(links.begin(), links.end());
    std::vector<FoundSerialDevice> found;
    for (const fs::path& link : links) {
        if (!ExistsAt(link)) {
            continue; // a link left behind by a device that is gone
        }
        const std::string target = ShortDeviceName(Resolved(link.string()));
        std::string label = UsbModemName(link.filename().string());
        label = label.empty() ? target : label + " (" + target + ")";
        found.push_back({link.string(), label});
    }
    return found;
}

std::vector<FoundSerialDevice>
SerialDeviceScan::UnnamedUsbDevices(const std::string& devFolder,
                                    const std::vector<FoundSerialDevice>& known) {
    std::vector<std::pair<std::string, int>> devices;
    for (const char* prefix : {"ttyACM", "ttyUSB"}) {
        for (const fs::path& path : Entries(devFolder, prefix)) {
            const int number = NumberAfter(path.filename().string(), std::string(prefix).size());
            if (number >= 0) {
                devices.emplace_back(path.string(), number);
            }
        }
    }
    std::sort(devices.begin(), devices.end());
    std::vector<FoundSerialDevice> found;
    for (const auto& [device, number] : devices) {
        const std::string resolved = Resolved(device);
        const bool named = std::any_of(known.begin(), known.end(), [&](const auto& other) {
            return Resolved(other.device) == resolved;
        });
        if (!named) {
            found.push_back({device, ShortDeviceName(device)});
        }
    }
    return found;
}

std::vector<FoundSerialDevice> SerialDeviceScan::UartPorts(const std::string& devFolder) {
    std::vector<std::pair<int, fs::path>> ports;
    for (const fs::path& path : Entries(devFolder, "ttyS")) {
        const int number = NumberAfter(path.filename().string(), 4);
        if (number >= 0) {
            ports.emplace_back(number, path);
        }
    }
    std::sort(ports.begin(), ports.end());
    std::vector<FoundSerialDevice> found;
    for (const auto& [number, path] : ports) {
        if (HasUart(path.string(), path.filename().string())) {
            found.push_back({path.string(), ShortDeviceName(path.string())});
        }
    }
    return found;
}

// The kernel's port type: first from sysfs, which needs no access to the device and leaves
// its modem lines alone; otherwise asked of the device (TIOCGSERIAL). Type 0 is "unknown":
// a port number with no UART behind it.
bool SerialDeviceScan::HasUart(const std::string& device, const std::string& name) {
    std::ifstream typeFile("/sys/class/tty/" + name + "/type");
    int type = -1;
    if (typeFile >> type) {
        return type != PORT_UNKNOWN;
    }
    const int fd = ::open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    serial_struct info{};
    const bool known = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return known;
}

std::string SerialDeviceScan::ShortDeviceName(const std::string& path) {
    const std::string dev = "/dev/";
    return path.rfind(dev, 0) == 0 && path.size() > dev.size() ? path.substr(dev.size()) : path;
}

std::string SerialDeviceScan::Resolved(const std::string& path) {
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    return error ? path : resolved.string();
}

} // namespace qpcomm
