#include "common/IniFile.h"

#include "TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Other programs and earlier versions edit the same file: names must match in any case
// and values keep their meaning however they were written.
TEST(IniFile, ReadsSectionsAndKeysWithoutRegardToCase) {
    qptest::ScratchDir dir;
    const std::string path = dir.file("QPX.INI");
    WriteAll(path, "; a comment\r\n[modem]\r\n  comport = 3 \r\nInitString=\"ATZ\"\r\n"
                   "[Hints]\r\nOn=0\r\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("Modem", "ComPort", -1), 3);
    EXPECT_EQ(ini.ReadString("MODEM", "initstring", ""), "ATZ");
    EXPECT_FALSE(ini.ReadBool("hints", "ON", true));
    EXPECT_EQ(ini.ReadString("Modem", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("NoSuchSection", "ComPort", "dflt"), "dflt");
    EXPECT_TRUE(ini.HasKey("MODEM", "COMPORT"));
}

TEST(IniFile, IntegersAreReadLeniently) {
    const struct {
        const char* text;
        bool ok;
        int value;
    } cases[] = {
        {"42", true, 42},          {" -7 ", true, -7},       {"0x1F", true, 31},
        {"0X10", true, 16},        {"0xFFFFFFFF", true, -1}, {"abc", false, 0},
        {"12abc", false, 0},       {"", false, 0},           {"0x", false, 0},
        {"99999999999", false, 0}, {"0xG1", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int value = 0;
        EXPECT_EQ(IniFile::ParseInteger(c.text, value), c.ok);
        if (c.ok) {
            EXPECT_EQ(value, c.value);
        }
    }
}

TEST(IniFile, BooleansAreAnyNonZeroInteger) {
    qptest::ScratchDir dir;
    const std::string path = dir.file("x.ini");
    WriteAll(path, "[B]\nTwo=2\nZero=0\nNeg=-1\nWord=yes\n");
    const IniFile ini(path);
    EXPECT_TRUE(ini.ReadBool("B", "Two", false));
    EXPECT_FALSE(ini.ReadBool("B", "Zero", true));
    EXPECT_TRUE(ini.ReadBool("B", "Neg", false));
    EXPECT_TRUE(ini.ReadBool("B", "Word", true)); // not a number: the default
    EXPECT_FALSE(ini.ReadBool("B", "Word", false));
}

TEST(IniFile, TextValuesAreCutAt1023Characters) {
    qptest::ScratchDir dir;
    const std::string path = dir.file("x.ini");
    WriteAll(path, "[T]\nLong=" + std::string(1500, 'x') + "\n");
    EXPECT_EQ(IniFile(path).ReadString("T", "Long", "").size(), 1023u);
}

// A rewrite must keep what it does not own: window placements, [Ports], comments, and
// the spelling of existing keys, while replacing values in place.
TEST(IniFile, WritesKeepEverythingElse) {
    qptest::ScratchDir dir;
    const std::string path = dir.file("QPX.INI");
    WriteAll(path, "[Ports]\r\nCom1=/dev/ttyUSB0\r\n\r\n[modem]\r\nCOMPORT=2\r\n; keep me\r\n"
                   "\r\n[TMainScreen_Placement]\r\nLeft=10\r\n");
    IniFile ini(path);
    ini.WriteInteger("Modem", "ComPort", 4);
    ini.WriteString("Modem", "InitString", "ATZ");
    ini.WriteBool("Hints", "On", false);
    ini.Save();
    EXPECT_EQ(ReadAll(path), "[Ports]\r\nCom1=/dev/ttyUSB0\r\n\r\n[modem]\r\nCOMPORT=4\r\n"
                             "; keep me\r\nInitString=ATZ\r\n\r\n[TMainScreen_Placement]\r\n"
                             "Left=10\r\n\r\n[Hints]\r\nOn=0\r\n");
    const IniFile again(path);
    EXPECT_EQ(again.ReadString("Ports", "Com1", ""), "/dev/ttyUSB0");
    EXPECT_EQ(again.ReadInteger("TMainScreen_Placement", "Left", 0), 10);
}

TEST(IniFile, SaveLeavesNoTemporaryFileBehind) {
    qptest::ScratchDir dir;
    IniFile ini(dir.file("QPX.INI"));
    ini.WriteString("A", "B", "C");
    ini.Save();
    EXPECT_TRUE(std::filesystem::exists(dir.file("QPX.INI")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("QPX.INI.tmp")));
}

TEST(IniFile, RefusedWriteNamesTheFile) {
    qptest::ScratchDir dir;
    // A folder in the file's place cannot be replaced by the rename, whoever we are.
    std::filesystem::create_directory(dir.file("QPX.INI"));
    IniFile ini(dir.file("QPX.INI"));
    ini.WriteString("A", "B", "C");
    try {
        ini.Save();
        FAIL() << "Save succeeded";
    } catch (const IniWriteError& error) {
        EXPECT_NE(std::string(error.what()).find(dir.file("QPX.INI")), std::string::npos)
            << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("QPX.INI.tmp")));
}

} // namespace
