#pragma once

#include "faxcomm/core/FoundSerialDevice.h"

#include <string>
#include <vector>

namespace qpcomm {

// Finds the serial devices a fax modem may be on, in a stable order: USB modems first,
// by their /dev/serial/by-id names (which survive re-plugging), sorted by name; then USB
// serial devices that have no by-id name (/dev/ttyACM*, /dev/ttyUSB*); then the
// /dev/ttyS* ports that have a UART behind them, by number.
class SerialDeviceScan {
public:
    // The by-id folder: $QUILLPOST_SERIAL_BY_ID when set (tests give a folder of their own
    // links), otherwise "/dev/serial/by-id".
    static std::string ByIdFolder();

    // The device folder: $QUILLPOST_DEV_FOLDER when set (tests), otherwise "/dev".
    static std::string DevFolder();

    // True when `devFolder` holds a USB serial device (ttyACM*, ttyUSB*): looks at names
    // only and opens nothing.
    static bool UsbSerialDevicePresent(const std::string& devFolder = DevFolder());

    // Every device found, in the order above.
    static std::vector<FoundSerialDevice> All();

    // The links in `byIdFolder` whose target exists, sorted by link name; labelled with
    // the maker and model and the target's name below /dev.
    static std::vector<FoundSerialDevice> UsbModems(const std::string& byIdFolder);

    // /dev/ttyACM* and /dev/ttyUSB* in `devFolder` that none of `known` leads to.
    static std::vector<FoundSerialDevice>
    UnnamedUsbDevices(const std::string& devFolder, const std::vector<FoundSerialDevice>& known);

    // /dev/ttyS<n> in `devFolder` with a UART behind them, by number.
    static std::vector<FoundSerialDevice> UartPorts(const std::string& devFolder);

    // The name a device path shows: below "/dev/" ("ttyACM0", "pts/3") or the whole path.
    static std::string ShortDeviceName(const std::string& path);

    // The same file, whatever links lead to it (the path itself when it cannot be
    // resolved).
    static std::string Resolved(const std::string& path);

private:
    static bool HasUart(const std::string& device, const std::string& name);
};

} // namespace qpcomm
