// Class 1 calls that do not go to plan: a slow far end, failed trainings, a busy line, a
// far end that hangs up, line noise. Each ends cleanly: the fax
// succeeds at what the line allows or ends with its error, and the port is left usable.
#include <gtest/gtest.h>

#include "Class1Line.h"
#include "TestPages.h"

using namespace qpfax;
using namespace enginetest;
using namespace std::chrono_literals;

TEST(Class1Faults, FarEndOfferingOnly4800GetsTrainedAt4800) {
    Class1Line line;
    ASSERT_TRUE(line.Start({"--rate", "4800"}));
    line.Client().AddFax({"5550199", WriteFax(line, 1), ""});
    ASSERT_EQ(line.StartSend(Class1Options()), 0);
    EXPECT_EQ(line.Finish(90s), 0);
    EXPECT_EQ(DcsRates(line), std::vector<int>{0x08});
    const auto result = line.Event("result ", 20s);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->substr(0, 9), "result ok") << *result;
    EXPECT_EQ(Field(*result, "rate"), "4800");
}

TEST(Class1Faults, TwoFailedTrainingsStepDownFrom9600To7200To4800) {
    Class1Line line;
    ASSERT_TRUE(line.Start({"--ftt", "2"}));
    line.Client().AddFax({"5550199", WriteFax(line, 1), ""});
    FaxEngineOptions options = Class1Options();
    options.desiredBps = 9600;
    ASSERT_EQ(line.StartSend(options), 0);
    EXPECT_EQ(line.Finish(90s), 0);
    // V.29 9600, V.29 7200, V.27ter 4800.
    EXPECT_EQ(DcsRates(line), (std::vector<int>{0x04, 0x0C, 0x08}));
    EXPECT_EQ(line.Events("frame tx TSI ").size(), 1u) << "TSI only with the first DCS";
    EXPECT_EQ(line.Events("tcf damaged").size(), 2u);
    const auto result = line.Event("result ", 20s);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->substr(0, 9), "result ok") << *result;
    EXPECT_EQ(Field(*result, "rate"), "4800");
}

TEST(Class1Faults, TrainingThatNeverSucceedsEndsAt2400) {
    // Every training check fails: down to 2400, then -8072 and a clean hang-up.
    Class1Line line;
    ASSERT_TRUE(line.Start({"--ftt", "10"}));
    line.Client().AddFax({"5550199", WriteFax(line, 1), ""});
    FaxEngineOptions options = Class1Options();
    options.desiredBps = 4800;
    ASSERT_EQ(line.StartSend(options), 0);
    EXPECT_EQ(line.Finish(90s), feTrainFailed);
    EXPECT_EQ(DcsRates(line), (std::vector<int>{0x08, 0x00}));
    EXPECT_EQ(line.Client().Logs(), (std::vector<int>{flTransmitStarted, flTransmitFailed}));
    EXPECT_TRUE(line.PortIsClean());
}

TEST(Class1Faults, BusyLineThenSuccessOnRedial) {
    Class1Line line;
    ASSERT_TRUE(line.Start({"--busy", "1"}));
    line.Client().AddFax({"5550199", WriteFax(line, 1), ""});
    ASSERT_EQ(line.StartSend(Class1Options()), 0);
    EXPECT_EQ(line.Finish(90s), 0);
    EXPECT_EQ(line.Events("dial ").size(), 2u);
    EXPECT_TRUE(Contains(line.Client().Statuses(), fsBusyWait));
    const auto results = line.Events("result ");
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0], "result error busy");
    EXPECT_EQ(results[1].substr(0, 9), "result ok") << results[1];
}

TEST(Class1Faults, FarEndHangingUpMidCallEndsWithCancelAndACleanPort) {
    Class1Line line;
    ASSERT_TRUE(line.Start({"--dcn-after-page", "1"}));
    line.Client().AddFax({"5550199", WriteFax(line, 2), ""});
    FaxEngineOptions options = Class1Options();
    options.exitOnError = true;
    ASSERT_EQ(line.StartSend(options), 0);
    EXPECT_EQ(line.Finish(90s), feCancelRequested);
    EXPECT_EQ(line.Client().Errors(), std::vector<int>{feCancelRequested});
    EXPECT_EQ(line.Client().Logs(), (std::vector<int>{flTransmitStarted, flTransmitFailed}));
    EXPECT_TRUE(line.Event("far dcn after-page=1", 10s).has_value());
    EXPECT_TRUE(line.Event("call end", 10s).has_value());
    EXPECT_EQ(line.Events("hangup "), std::vector<std::string>{"hangup computer"});
    EXPECT_TRUE(line.PortIsClean());
}

TEST(Class1Faults, NoisyLineCompletesOrEndsWithAClearError) {
    // Noise at a level spandsp still trains at but that may spoil the fastest rate.
    Class1Line line;
    ASSERT_TRUE(line.Start({"--noise", "-50", "--seed", "7", "--rx-tiff", line.File("rx.tif")}));
    line.Client().AddFax({"5550199", WriteFax(line, 2), ""});
    FaxEngineOptions options = Class1Options();
    options.exitOnError = true;
    ASSERT_EQ(line.StartSend(options), 0);
    const auto code = line.Finish(150s);
    ASSERT_TRUE(code.has_value()) << "the call hangs";
    const auto result = line.Event("result ", 20s);
    ASSERT_TRUE(result.has_value());
    if (*code == 0) {
        EXPECT_EQ(result->substr(0, 9), "result ok") << *result;
        EXPECT_EQ(testpages::ReadTiff(line.File("rx.tif")).size(), 2u);
    } else {
        EXPECT_TRUE(*code == feTrainFailed || *code == feFatalTimeout ||
                    *code == feCancelRequested || *code == feMidSession)
            << *code;
        EXPECT_EQ(line.Client().Logs().back(), flTransmitFailed);
    }
    EXPECT_TRUE(line.PortIsClean());
}
