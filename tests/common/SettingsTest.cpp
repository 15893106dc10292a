#include "common/DataFolder.h"
#include "common/IniFile.h"
#include "common/Settings.h"

#include "TestPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

// Each test gets its own data folder so the settings file starts absent.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::make_unique<qptest::ScratchDir>("settings");
        setenv("QUILLPOST_DATA", dir_->path().c_str(), 1);
        ResetDataFolder();
        Settings() = QpSettings();
    }
    void TearDown() override {
        ResetDataFolder();
        dir_.reset();
    }

    static void WriteIni(const std::string& text) {
        std::ofstream(SettingsFileName(), std::ios::binary) << text;
    }
    static std::string ReadIni() {
        std::ifstream in(SettingsFileName(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::unique_ptr<qptest::ScratchDir> dir_;
};

TEST_F(SettingsTest, MissingFileGivesEveryDefault) {
    Settings().comPort = 5; // stale value that loading must replace
    LoadSettings();
    const QpSettings& s = Settings();
    EXPECT_EQ(s.receiveWav, "");
    EXPECT_FALSE(s.receiveAtStartup);
    EXPECT_EQ(s.answerOnRing, 1);
    EXPECT_EQ(s.userFax, "");
    EXPECT_EQ(s.userName, "");
    EXPECT_EQ(s.dialPrefix, "");
    EXPECT_EQ(s.dialAttempts, 3);
    EXPECT_EQ(s.retryWait, 60);
    EXPECT_FALSE(s.blindDial);
    EXPECT_FALSE(s.ignoreBusy);
    EXPECT_EQ(s.toneOrPulse, 0);
    EXPECT_EQ(s.dialTimeout, 60);
    EXPECT_EQ(s.initString, "");
    EXPECT_EQ(s.comPort, -1);
    EXPECT_EQ(s.faxClass, 0);
    EXPECT_EQ(s.maximumBps, 9600);
    EXPECT_EQ(s.fontName, "Arial");
    EXPECT_EQ(s.fontSize, 10);
    EXPECT_FALSE(s.fontBold);
    EXPECT_FALSE(s.fontItalic);
    EXPECT_FALSE(s.fontUnderline);
    EXPECT_TRUE(s.hintsOn);
    EXPECT_FALSE(std::filesystem::exists(SettingsFileName()));
}

TEST_F(SettingsTest, EveryKeyRoundTrips) {
    QpSettings& s = Settings();
    s.receiveWav = "/usr/share/sounds/ding.wav";
    s.receiveAtStartup = true;
    s.answerOnRing = 3;
    s.userFax = "+1 555 0100";
    s.userName = "Ann Example";
    s.dialPrefix = "9,";
    s.dialAttempts = 7;
    s.retryWait = 120;
    s.blindDial = true;
    s.ignoreBusy = true;
    s.toneOrPulse = 1;
    s.dialTimeout = 45;
    s.initString = "ATM0";
    s.comPort = 2;
    s.faxClass = 3;
    s.maximumBps = 14400;
    s.fontName = "Times New Roman";
    s.fontSize = 12;
    s.fontBold = true;
    s.fontItalic = true;
    s.fontUnderline = true;
    s.hintsOn = false;
    const QpSettings saved = s;
    SaveSettings();
    s = QpSettings();
    LoadSettings();
    EXPECT_EQ(s.receiveWav, saved.receiveWav);
    EXPECT_EQ(s.receiveAtStartup, saved.receiveAtStartup);
    EXPECT_EQ(s.answerOnRing, saved.answerOnRing);
    EXPECT_EQ(s.userFax, saved.userFax);
    EXPECT_EQ(s.userName, saved.userName);
    EXPECT_EQ(s.dialPrefix, saved.dialPrefix);
    EXPECT_EQ(s.dialAttempts, saved.dialAttempts);
    EXPECT_EQ(s.retryWait, saved.retryWait);
    EXPECT_EQ(s.blindDial, saved.blindDial);
    EXPECT_EQ(s.ignoreBusy, saved.ignoreBusy);
    EXPECT_EQ(s.toneOrPulse, saved.toneOrPulse);
    EXPECT_EQ(s.dialTimeout, saved.dialTimeout);
    EXPECT_EQ(s.initString, saved.initString);
    EXPECT_EQ(s.comPort, saved.comPort);
    EXPECT_EQ(s.faxClass, saved.faxClass);
    EXPECT_EQ(s.maximumBps, saved.maximumBps);
    EXPECT_EQ(s.fontName, saved.fontName);
    EXPECT_EQ(s.fontSize, saved.fontSize);
    EXPECT_EQ(s.fontBold, saved.fontBold);
    EXPECT_EQ(s.fontItalic, saved.fontItalic);
    EXPECT_EQ(s.fontUnderline, saved.fontUnderline);
    EXPECT_EQ(s.hintsOn, saved.hintsOn);
}

// Into an empty file the keys land in the order they are written, which fixes the order
// of sections and of keys inside them.
TEST_F(SettingsTest, SaveWritesSectionsAndKeysInItsOrder) {
    SaveSettings();
    std::vector<std::string> lines;
    std::istringstream text(ReadIni());
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(line.substr(0, line.find('=')));
        }
    }
    const std::vector<std::string> expected = {
        "[Receive]",      "Wav",          "AtStartup", "AnswerOnRing",
        "[User]",         "Fax",          "Name",      "[Dialing]",
        "DialPrefix",     "DialAttempts", "RetryWait", "BlindDial",
        "IgnoreBusy",     "ToneOrPulse",  "Timeout",   "[Modem]",
        "InitString",     "ComPort",      "FaxClass",  "MaximumBPS",
        "[Default Font]", "Name",         "Size",      "Bold",
        "Italic",         "Underline",    "[Hints]",   "On"};
    EXPECT_EQ(lines, expected);
    EXPECT_NE(ReadIni().find("AtStartup=0\r\n"), std::string::npos);
    EXPECT_NE(ReadIni().find("On=1\r\n"), std::string::npos);
}

TEST_F(SettingsTest, SaveKeepsSectionsItDoesNotOwn) {
    WriteIni("[Ports]\nCom1=/dev/ttyUSB0\n[TMainScreen_Placement]\nLeft=5\nBottom=300\n"
             "[Modem]\nComPort=1\nVendorKey=keep\n");
    LoadSettings();
    Settings().comPort = 4;
    SaveSettings();
    const IniFile ini(SettingsFileName());
    EXPECT_EQ(ini.ReadString("Ports", "Com1", ""), "/dev/ttyUSB0");
    EXPECT_EQ(ini.ReadInteger("TMainScreen_Placement", "Bottom", 0), 300);
    EXPECT_EQ(ini.ReadString("Modem", "VendorKey", ""), "keep");
    EXPECT_EQ(ini.ReadInteger("Modem", "ComPort", 0), 4);
}

TEST_F(SettingsTest, HexAndGarbageIntegers) {
    WriteIni("[Dialing]\nDialAttempts=0x0A\nRetryWait=soon\nTimeout=0X1e\n"
             "[Receive]\nAnswerOnRing=\n[Hints]\nOn=garbage\n");
    LoadSettings();
    EXPECT_EQ(Settings().dialAttempts, 10);
    EXPECT_EQ(Settings().retryWait, 60);
    EXPECT_EQ(Settings().dialTimeout, 30);
    EXPECT_EQ(Settings().answerOnRing, 1);
    EXPECT_TRUE(Settings().hintsOn);
}

// A rate the list does not hold shows the 9600 entry and is written back as 9600.
TEST_F(SettingsTest, OddTransferRatesFallBackTo9600) {
    for (const char* stored : {"9601", "19200"}) {
        SCOPED_TRACE(stored);
        WriteIni(std::string("[Modem]\nMaximumBPS=") + stored + "\n");
        LoadSettings();
        const int index = IndexFromBps(Settings().maximumBps);
        EXPECT_EQ(index, 3);
        Settings().maximumBps = BpsFromIndex(index);
        SaveSettings();
        EXPECT_EQ(IniFile(SettingsFileName()).ReadInteger("Modem", "MaximumBPS", 0), 9600);
    }
    const int rates[] = {2400, 4800, 7200, 9600, 12000, 14400};
    for (int index = 0; index < 6; ++index) {
        EXPECT_EQ(BpsFromIndex(index), rates[index]);
        EXPECT_EQ(IndexFromBps(rates[index]), index);
    }
    EXPECT_EQ(BpsFromIndex(-1), 9600);
    EXPECT_EQ(BpsFromIndex(6), 9600);
}

TEST_F(SettingsTest, ComponentMappings) {
    EXPECT_EQ(ComponentFaxClass(0), 1);
    EXPECT_EQ(ComponentFaxClass(3), 4);
    EXPECT_EQ(ComponentPortNumber(0), 1);
    EXPECT_EQ(ComponentPortNumber(5), 6);
}

TEST_F(SettingsTest, ModemInitGetsAtOnlyWhenItHasNone) {
    EXPECT_EQ(ModemInitCommand("E0"), "ATE0");
    EXPECT_EQ(ModemInitCommand("ate0"), "ate0");
    EXPECT_EQ(ModemInitCommand("xatx"), "xatx");
    EXPECT_EQ(ModemInitCommand("&F"), "AT&F");
    EXPECT_EQ(ModemInitCommand(""), "");
}

TEST_F(SettingsTest, UnwritableSettingsFileRaisesErrorNamingIt) {
    std::filesystem::create_directory(SettingsFileName());
    try {
        SaveSettings();
        FAIL() << "SaveSettings succeeded";
    } catch (const IniWriteError& error) {
        EXPECT_NE(std::string(error.what()).find("QPX.INI"), std::string::npos) << error.what();
    }
}

} // namespace
