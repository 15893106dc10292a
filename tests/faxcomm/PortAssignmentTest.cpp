// Which device each port number opens: USB modems by their by-id names first, then UART
// ports, pinned [Ports] keys first of all; the names people see for them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "PtyPair.h"
#include "TestPaths.h"
#include "common/IniFile.h"
#include "faxcomm/core/PortAssignment.h"
#include "faxcomm/core/PortDeviceName.h"
#include "faxcomm/core/SerialDeviceScan.h"
#include "faxcomm/core/UsbModemName.h"

using namespace qpcomm;
namespace fs = std::filesystem;

namespace {

// A by-id folder of the test's own, named to the port scan through QUILLPOST_SERIAL_BY_ID
// while the object lives.
class FakeByIdFolder {
public:
    FakeByIdFolder() : scratch_("by-id") {
        ::setenv("QUILLPOST_SERIAL_BY_ID", scratch_.path().c_str(), 1);
    }
    ~FakeByIdFolder() { ::unsetenv("QUILLPOST_SERIAL_BY_ID"); }

    std::string Link(const std::string& name, const std::string& target) {
        const fs::path link = scratch_.path() / name;
        fs::create_symlink(target, link);
        return link.string();
    }

private:
    qptest::ScratchDir scratch_;
};

std::string IniPath() {
    return (qptest::DataDir() / "QPX.INI").string();
}

void WritePorts(const std::map<std::string, std::string>& keys) {
    fs::remove(IniPath());
    IniFile ini(IniPath());
    for (const auto& [key, device] : keys) {
        ini.WriteString("Ports", key, device);
    }
    ini.Save();
}

} // namespace

TEST(UsbModemNameTest, MakerAndModelWithoutBusInterfaceAndSerial) {
    EXPECT_EQ(UsbModemName("usb-USRobotics_USB_Modem_0000001-if00"), "USRobotics USB Modem");
    EXPECT_EQ(UsbModemName("usb-Conexant_USB_Modem_12345678-if00-port0"), "Conexant USB Modem");
    EXPECT_EQ(UsbModemName("usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0"),
              "FTDI FT232R USB UART A6008isP"); // not a hexadecimal serial: kept
    EXPECT_EQ(UsbModemName("usb-U.S._Robotics_USR5637-if00"), "U.S. Robotics USR5637");
    EXPECT_EQ(UsbModemName("usb-Zoom\\x20Telephonics_3095-if00"), "Zoom Telephonics 3095");
    EXPECT_EQ(UsbModemName("usb-0000001-if00"), "0000001"); // nothing but the serial: kept
    EXPECT_EQ(UsbModemName("usb--if00"), "");
}

TEST(PortAssignmentTest, FoundDevicesInOrderThenTheClassicUartNames) {
    const auto assignment = PortAssignment::Build(
        {}, {{"/dev/serial/by-id/usb-A", "A (ttyACM0)"}, {"/dev/ttyS0", "ttyS0"}});
    ASSERT_EQ(assignment.Choices().size(), 6u);
    EXPECT_EQ(assignment.Choice(1).device, "/dev/serial/by-id/usb-A");
    EXPECT_EQ(assignment.Choice(1).Caption(), "Com1  A (ttyACM0)");
    EXPECT_EQ(assignment.Choice(2).device, "/dev/ttyS0");
    EXPECT_FALSE(assignment.Choice(2).pinned);
    // Com3 .. Com6 keep the device they always had, without a name: nothing was found.
    EXPECT_EQ(assignment.Choice(3).device, "/dev/ttyS2");
    EXPECT_EQ(assignment.Choice(3).Caption(), "Com3");
    EXPECT_EQ(assignment.Choice(6).device, "/dev/ttyS5");
    // Com1's classic device went to Com2; Com1 never opens it a second time.
    const auto shifted = PortAssignment::Build({}, {{"/dev/ttyS0", "ttyS0"}, {"/dev/x", "x"}}, 6);
    EXPECT_EQ(shifted.Choice(1).device, "/dev/ttyS0");
    EXPECT_EQ(shifted.Choice(2).device, "/dev/x");
    EXPECT_EQ(shifted.Choice(3).device, "/dev/ttyS2");
    EXPECT_THROW(shifted.Choice(0), std::out_of_range);
    EXPECT_THROW(shifted.Choice(7), std::out_of_range);
}

TEST(PortAssignmentTest, PinnedChoicesWinAndTheirDevicesAreNotHandedOutTwice) {
    const std::vector<FoundSerialDevice> found = {
        {"/dev/usb-A", "A"}, {"/dev/usb-B", "B"}, {"/dev/ttyS0", "ttyS0"}};
    const auto assignment = PortAssignment::Build({{2, "/dev/usb-A"}, {4, "/dev/ttyS9"}}, found);
    EXPECT_EQ(assignment.Choice(1).device, "/dev/usb-B");
    EXPECT_TRUE(assignment.Choice(2).pinned);
    EXPECT_EQ(assignment.Choice(2).Caption(), "Com2  A"); // a found device keeps its name
    EXPECT_EQ(assignment.Choice(3).device, "/dev/ttyS0");
    EXPECT_EQ(assignment.Choice(4).device, "/dev/ttyS9");
    EXPECT_EQ(assignment.Choice(4).Caption(), "Com4  ttyS9");
    EXPECT_EQ(assignment.Choice(5).device, "/dev/ttyS4");
    // Port numbers beyond six take what is left, in the same way.
    const auto wide = PortAssignment::Build({}, found, 9);
    EXPECT_EQ(wide.Choices().size(), 9u);
    EXPECT_EQ(wide.Choice(9).device, "/dev/ttyS8");
    // Port number 7 is the built-in test line unless the settings name a device for it.
    EXPECT_EQ(wide.Choice(7).device, "test-line");
    EXPECT_EQ(wide.Choice(7).Caption(), "Com7  Test line (no modem)");
    const auto pinned7 = PortAssignment::Build({{7, "/dev/ttyUSB5"}}, found, 7);
    EXPECT_EQ(pinned7.Choice(7).device, "/dev/ttyUSB5");
    const auto testLine3 = PortAssignment::Build({{3, "test-line"}}, found, 7);
    EXPECT_EQ(testLine3.Choice(3).Caption(), "Com3  Test line (no modem)");
}

// Two USB modems on pseudo-terminals behind a by-id folder; a link whose device is gone
// is left out. Com1 and Com2 open them in the order of their names.
TEST(PortAssignmentTest, UsbModemsFromTheByIdFolderComeFirst) {
    PtyPair first;
    PtyPair second;
    FakeByIdFolder byId;
    const std::string b =
        byId.Link("usb-Zoom_Telephonics_3095_0123456789-if00", second.SlaveName());
    const std::string a = byId.Link("usb-USRobotics_USB_Modem_0000001-if00", first.SlaveName());
    byId.Link("usb-Gone_Modem-if00", "/dev/quillpost-unplugged");
    const std::string firstShort = SerialDeviceScan::ShortDeviceName(first.SlaveName());

    const auto modems = SerialDeviceScan::UsbModems(SerialDeviceScan::ByIdFolder());
    ASSERT_EQ(modems.size(), 2u);
    EXPECT_EQ(modems[0].device, a);
    EXPECT_EQ(modems[0].label, "USRobotics USB Modem (" + firstShort + ")");
    EXPECT_EQ(modems[1].device, b);

    WritePorts({});
    EXPECT_EQ(DeviceNameForPort(1, IniPath()), a);
    EXPECT_EQ(DeviceNameForPort(2, IniPath()), b);
    const auto choices = PortAssignment::Current(IniPath());
    EXPECT_EQ(choices.Choice(1).Caption(), "Com1  USRobotics USB Modem (" + firstShort + ")");
    EXPECT_EQ(choices.Choice(2).label.rfind("Zoom Telephonics 3095 (", 0), 0u);

    // A key in the settings file pins Com1 to the second modem, by its /dev name: it keeps
    // its USB name, and Com2 gets the first modem.
    WritePorts({{"Com1", second.SlaveName()}});
    EXPECT_EQ(DeviceNameForPort(1, IniPath()), second.SlaveName());
    EXPECT_EQ(DeviceNameForPort(2, IniPath()), a);
    EXPECT_EQ(PortAssignment::Current(IniPath()).Choice(1).label.rfind("Zoom Telephonics", 0), 0u);
    // An empty key pins nothing.
    WritePorts({{"Com1", ""}});
    EXPECT_EQ(DeviceNameForPort(1, IniPath()), a);
    fs::remove(IniPath());
}

TEST(PortAssignmentTest, MissingOrEmptyByIdFolderLeavesTheClassicMapping) {
    qptest::ScratchDir empty("empty-by-id");
    EXPECT_TRUE(SerialDeviceScan::UsbModems(empty.path().string()).empty());
    EXPECT_TRUE(SerialDeviceScan::UsbModems(empty.file("missing")).empty());
    // A folder holding devices that are not serial lines: UART names need a number, USB
    // devices their prefix.
    std::ofstream(empty.file("ttyS")) << "";
    std::ofstream(empty.file("ttySX")) << "";
    std::ofstream(empty.file("ttyACMx")) << "";
    EXPECT_TRUE(SerialDeviceScan::UartPorts(empty.path().string()).empty());
    EXPECT_TRUE(SerialDeviceScan::UnnamedUsbDevices(empty.path().string(), {}).empty());
    // A USB device already reached through a by-id link is not listed a second time.
    std::ofstream(empty.file("ttyACM0")) << "";
    std::ofstream(empty.file("ttyUSB1")) << "";
    const auto unnamed = SerialDeviceScan::UnnamedUsbDevices(empty.path().string(),
                                                             {{empty.file("ttyACM0"), "named"}});
    ASSERT_EQ(unnamed.size(), 1u);
    EXPECT_EQ(unnamed[0].device, empty.file("ttyUSB1"));
}
