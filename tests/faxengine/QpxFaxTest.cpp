// "qpx fax" as a user runs it: a separate process sending to and receiving from the
// emulated modem, printing status lines and ending with the result.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "Emulator.h"
#include "EngineHarness.h"
#include "TestPages.h"
#include "TestPaths.h"
#include "common/IniFile.h"

using namespace std::chrono_literals;

namespace {

std::string Qpx() {
    return (qptest::BinaryDir() / "bin" / "qpx").string();
}

int RunQpx(const std::string& args, std::string& output) {
    output.clear();
    return qptest::RunCommand(Qpx() + " fax " + args + " 2>&1", &output);
}

int ExitCode(int status) {
    return status; // RunCommand gives the exit status itself
}

} // namespace

TEST(QpxFax, ClassesByDeviceAndByPortNumber) {
    Emulator modem;
    ASSERT_TRUE(modem.Start({"--classes", "0,1,2.0"}));
    std::string output;
    EXPECT_EQ(ExitCode(RunQpx("classes --device " + modem.Device(), output)), 0) << output;
    EXPECT_EQ(output, "1\n2.0\n");
    IniFile ini((qptest::DataDir() / "QPX.INI").string());
    ini.WriteString("Ports", "Com7", modem.Device());
    ini.Save();
    EXPECT_EQ(ExitCode(RunQpx("classes --port 7", output)), 0) << output;
    EXPECT_EQ(output, "1\n2.0\n");
}

TEST(QpxFax, SendPrintsStatusLinesAndSucceeds) {
    Emulator modem;
    ASSERT_TRUE(modem.Start({"--rx-tiff", modem.File("rx.tif"), "--time-factor", "20"}));
    const std::string apf = modem.File("send.apf");
    const FaxRaster page = testpages::Pattern(1728, 80, 5);
    enginetest::WriteApf(apf, {page}, true);
    std::string output;
    const int status = RunQpx("send --device " + modem.Device() +
                                  " --number 5550199 --class 2.0 --header 'HEAD $P' " + apf,
                              output);
    EXPECT_EQ(ExitCode(status), 0) << output;
    EXPECT_NE(output.find("status 2 Dialing\n"), std::string::npos) << output;
    EXPECT_NE(output.find("status 4 Sending page data (page 1)\n"), std::string::npos);
    EXPECT_NE(output.find("log 2\n"), std::string::npos);
    EXPECT_EQ(output.substr(output.rfind("result")), "result 0 OK\n");
    const auto received = testpages::ReadTiff(modem.File("rx.tif"));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(enginetest::Difference(received[0], enginetest::ExpectedPage(page, "HEAD 1", true)),
              "");
}

TEST(QpxFax, FailuresEndWithTheirTextAndExitStatusOne) {
    Emulator modem;
    ASSERT_TRUE(modem.Start({"--fault", "voice"}));
    const std::string apf = modem.File("send.apf");
    enginetest::WriteApf(apf, {testpages::Pattern(1728, 20, 5)}, false);
    std::string output;
    EXPECT_EQ(ExitCode(RunQpx("send --device " + modem.Device() + " --number 1 --class 2 " + apf,
                              output)),
              1);
    EXPECT_EQ(output.substr(output.rfind("result")),
              "result -8075 Called fax number answered with voice\n");
    EXPECT_EQ(ExitCode(RunQpx("send --device " + modem.Device() + " --number 1 " +
                                  modem.File("missing.apf"),
                              output)),
              1);
    EXPECT_EQ(output.substr(output.rfind("result")), "result -2 File not found\n");
    EXPECT_EQ(ExitCode(RunQpx("send --device " + modem.Device(), output)), 2);
    EXPECT_EQ(ExitCode(RunQpx("classes --device " + modem.File("nothing"), output)), 1);
}

TEST(QpxFax, ReceiveOneCallIntoTheFolder) {
    Emulator modem;
    const std::string tif = modem.File("doc.tif");
    const FaxRaster page = testpages::Pattern(1728, 60, 9);
    ASSERT_TRUE(testpages::WriteTiff(tif, {page}, false));
    ASSERT_TRUE(modem.Start({"--tx-tiff", tif, "--time-factor", "20"}));
    qptest::ScratchDir dir("qpxreceive");
    std::thread ringer([&] {
        modem.Event("cmd AT+FDCC", 20s);
        modem.Send("ring");
    });
    std::string output;
    const int status = RunQpx("receive --device " + modem.Device() + " --dir " +
                                  dir.path().string() + " --one --class 2",
                              output);
    ringer.join();
    EXPECT_EQ(ExitCode(status), 0) << output;
    EXPECT_NE(output.find("status 20 Waiting for incoming call\n"), std::string::npos) << output;
    EXPECT_NE(output.find("log 4 " + dir.file("FAX0001.APF") + "\n"), std::string::npos);
    std::vector<std::uint16_t> flags;
    const auto pages = enginetest::ReadApfPages(dir.file("FAX0001.APF"), &flags);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(enginetest::Difference(pages[0], page), "");
}
