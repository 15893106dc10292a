// "qpx modem" as a user runs it: a separate process talking to simulated modems on
// pseudo-terminals named in QPX.INI.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ModemSimulator.h"
#include "PtyPair.h"
#include "TestPaths.h"
#include "common/IniFile.h"

namespace {

std::string Qpx() {
    return (qptest::BinaryDir() / "bin" / "qpx").string();
}

std::string IniPath() {
    return (qptest::DataDir() / "QPX.INI").string();
}

void SetPortDevice(int number, const std::string& device) {
    IniFile ini(IniPath());
    ini.WriteString("Ports", "Com" + std::to_string(number), device);
    ini.Save();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(QpxModemTest, AtPrintsAnswerLinesAndDumpsTheTrace) {
    ModemSimulator modem;
    ASSERT_TRUE(modem.Start());
    SetPortDevice(2, modem.DevicePath());
    qptest::ScratchDir dir("qpxmodem");
    const std::string trace = dir.file("modem.trc");
    std::string output;
    ASSERT_EQ(qptest::RunCommand(Qpx() + " modem at --port 2 --trace " + trace +
                                     " ATI AT+FCLASS=? AT+FOO 2>&1",
                                 &output),
              0);
    EXPECT_EQ(output, "Quillpost modem simulator\nOK\n0,1,2,2.0\nOK\nERROR\n");
    const std::string dump = ReadFile(trace);
    EXPECT_EQ(dump.rfind("\nTransmit: ATI[0D]\n\nReceive: ATI[0D][0D][0A]Quillpost[20]modem", 0),
              0u);
    EXPECT_NE(dump.find("\nTransmit: AT+FOO[0D]\n"), std::string::npos);
}

TEST(QpxModemTest, AtTimesOutOnASilentModemAndReportsMissingDevices) {
    ModemSimOptions options;
    options.answers = false;
    ModemSimulator dead(options);
    ASSERT_TRUE(dead.Start());
    std::string output;
    EXPECT_NE(qptest::RunCommand(Qpx() + " modem at --device " + dead.DevicePath() +
                                     " --timeout 300 AT 2>&1",
                                 &output),
              0);
    EXPECT_NE(output.find("no final answer to AT within 300 ms"), std::string::npos);
    EXPECT_NE(qptest::RunCommand(Qpx() + " modem at --device /dev/quillpost-none AT 2>&1", &output),
              0);
    EXPECT_NE(output.find("ie_BadId - Specified comport doesn't exist"), std::string::npos);
    EXPECT_EQ(qptest::RunCommand(Qpx() + " modem at 2>/dev/null"), 2);
}

// The probe words each port as modem detection does.
TEST(QpxModemTest, ProbeReportsEveryPort) {
    ModemSimulator modem;
    ASSERT_TRUE(modem.Start());
    ModemSimOptions lower;
    lower.lowerCase = true;
    lower.echo = false;
    ModemSimulator lowerModem(lower);
    ASSERT_TRUE(lowerModem.Start());
    ModemSimOptions deadOptions;
    deadOptions.answers = false;
    ModemSimulator dead(deadOptions);
    ASSERT_TRUE(dead.Start());
    PtyPair held;
    const int fd = ::open(held.SlaveName().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);

    SetPortDevice(1, "/dev/quillpost-none");
    SetPortDevice(2, held.SlaveName());
    SetPortDevice(3, dead.DevicePath());
    SetPortDevice(4, modem.DevicePath());
    SetPortDevice(5, lowerModem.DevicePath());
    SetPortDevice(6, "/dev/quillpost-none-either");
    std::string output;
    ASSERT_EQ(qptest::RunCommand(Qpx() + " modem probe", &output), 0);
    EXPECT_EQ(output, "Com 1: Port does not exist  (/dev/quillpost-none)\n"
                      "Com 2: Port is already open (could be modem)  (" +
                          held.SlaveName() + ")\nCom 3: Unknown  (" + dead.DevicePath() +
                          ")\nCom 4: MODEM  (" + modem.DevicePath() + ")\nCom 5: MODEM  (" +
                          lowerModem.DevicePath() +
                          ")\nCom 6: Port does not exist  (/dev/quillpost-none-either)\n");
    ::close(fd);
}

// Two USB modems behind a by-id folder and no [Ports] keys: the probe finds the one that
// answers on Com1 and names each device it tried.
TEST(QpxModemTest, ProbeFindsTheModemOnAUsbName) {
    ModemSimulator modem;
    ASSERT_TRUE(modem.Start());
    ModemSimOptions deadOptions;
    deadOptions.answers = false;
    ModemSimulator dead(deadOptions);
    ASSERT_TRUE(dead.Start());
    qptest::ScratchDir byId("by-id");
    const auto first = byId.path() / "usb-USRobotics_USB_Modem_0000001-if00";
    const auto second = byId.path() / "usb-Zoom_Telephonics_3095-if00";
    std::filesystem::create_symlink(modem.DevicePath(), first);
    std::filesystem::create_symlink(dead.DevicePath(), second);
    std::filesystem::remove(IniPath());

    std::string output;
    ASSERT_EQ(qptest::RunCommand("QUILLPOST_SERIAL_BY_ID=" + byId.path().string() + " " + Qpx() +
                                     " modem probe",
                                 &output),
              0);
    EXPECT_NE(output.find("Com 1: MODEM  (" + first.string() + ")\n"), std::string::npos) << output;
    EXPECT_NE(output.find("Com 2: Unknown  (" + second.string() + ")\n"), std::string::npos)
        << output;
}

// A device the user may not open: the usual wording and the advice to join "dialout".
// Root may open anything, so as root the command runs as the unprivileged user "nobody".
TEST(QpxModemTest, DeviceWithoutPermissionAdvisesTheDialoutGroup) {
    PtyPair pair;
    std::string command = Qpx() + " modem at --device " + pair.SlaveName() + " AT";
    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(pair.SlaveName().c_str(), 0600), 0);
        command = "setpriv --reuid=65534 --regid=65534 --clear-groups " + command;
    } else {
        ASSERT_EQ(::chmod(pair.SlaveName().c_str(), 0), 0);
    }
    std::string output;
    EXPECT_EQ(qptest::RunCommand(command + " 2>&1", &output), 1);
    EXPECT_NE(output.find("File access denied"), std::string::npos) << output;
    EXPECT_NE(output.find("\"dialout\" group"), std::string::npos) << output;
}
