// "qpx fax" with a Class 1 modem: the class query, a send and a receive through faxsim
// (spandsp's Class 1 modem and T.30 terminal), each a separate qpx process.
#include <gtest/gtest.h>

#include <thread>

#include "Class1Line.h"
#include "TestPages.h"
#include "TestPaths.h"

using namespace enginetest;
using namespace std::chrono_literals;

namespace {

int RunQpx(const std::string& args, std::string& output) {
    output.clear();
    return qptest::RunCommand(
        (qptest::BinaryDir() / "bin" / "qpx").string() + " fax " + args + " 2>&1", &output);
}

bool Has(const std::string& output, const std::string& text) {
    return output.find(text) != std::string::npos;
}

} // namespace

TEST(QpxFaxClass1, ClassQueryNamesClass1) {
    Class1Line line;
    ASSERT_TRUE(line.Start({}, false, false));
    std::string output;
    EXPECT_EQ(RunQpx("classes --device " + line.File("modem1"), output), 0) << output;
    EXPECT_EQ(output, "1\n");
}

TEST(QpxFaxClass1, SendOnePageAndReceiveItBack) {
    Class1Line line;
    const FaxRaster page = testpages::Pattern(1728, 50, 71);
    ASSERT_TRUE(testpages::WriteTiff(line.File("tx.tif"), {page}, false));
    WriteApf(line.File("fax.apf"), {page}, false);
    ASSERT_TRUE(line.Start({"--rx-tiff", line.File("rx.tif"), "--tx-tiff", line.File("tx.tif"),
                            "--remote-id", "FAR 1"},
                           false, false));
    std::string output;
    EXPECT_EQ(RunQpx("send --device " + line.File("modem1") +
                         " --number 5550199 --class 1 --station 'QPX ONE' " + line.File("fax.apf"),
                     output),
              0)
        << output;
    EXPECT_TRUE(Has(output, "result 0 ")) << output;
    const auto result = line.Event("result ", 20s);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->substr(0, 9), "result ok") << *result;
    EXPECT_EQ(Field(*result, "remote-id"), "QPX ONE");
    const auto received = testpages::ReadTiff(line.File("rx.tif"));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(Difference(received[0], ExpectedPage(page, "", false)), "");

    // The far end calls back once qpx waits for calls.
    std::thread caller([&] {
        line.Sim().Await("cmd AT+FCLASS=1", 20s);
        std::this_thread::sleep_for(1s);
        line.Sim().Process().WriteLine("call");
    });
    qptest::ScratchDir dir("qpxclass1");
    const int status = RunQpx("receive --device " + line.File("modem1") + " --dir " +
                                  dir.path().string() + " --one --class 1",
                              output);
    caller.join();
    EXPECT_EQ(status, 0) << output;
    EXPECT_TRUE(Has(output, "status 20 ")) << output;
    const auto pages = ReadApfPages(dir.file("FAX0001.APF"), nullptr);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(Difference(pages[0], page), "");
}
