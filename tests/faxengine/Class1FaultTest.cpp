// Class 1 calls that do not go to plan: a slow far end, failed trainings, a busy line, a
// far end that hangs up, line noise, nobody answering. Each ends cleanly: the fax
// succeeds at what the line allows or ends with its error, and the port is left usable.
#include <gtest/gtest.h>

#include "Class1Line.h"
#include "TestPages.h"

using namespace qpfax;
using namespace enginetest;
using namespace std::chrono_literals;

namespace {

// Byte A of each DCS the program sent, without the resolution bits.
std::vector<int> DcsRates(Class1Line& line) {
    std::vector<int> rates;
    for (const std::string& event : line.Events("frame tx DCS ")) {
        rates.push_back(std::stoi(event.substr(13 + 8, 2), nullptr, 16) & 0x3C);
    }
    return rates;
}

// Writes an APF file of `count` normal pages; returns its path.
std::string WriteFax(Class1Line& line, int count) {
    std::vector<FaxRaster> pages;
    for (int p = 0; p < count; ++p) {
        pages.push_back(testpages::Pattern(1728, 40, 41 + p));
    }
    const std::string path = line.File("fax.apf");
    WriteApf(path, pages, false);
    return path;
}

bool Contains(const std::vector<int>& values, int value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

} // namespace

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

TEST(Class1Faults, NobodyAnsweringEndsWithTimeout) {
    Class1Line line;
    ASSERT_TRUE(line.Start({"--no-answer", "--time-factor", "1"}));
    line.Client().AddFax({"5550199", WriteFax(line, 1), ""});
    FaxEngineOptions options = Class1Options();
    options.dialWaitTicks = 91; // 5 s
    options.exitOnError = true;
    ASSERT_EQ(line.StartSend(options), 0);
    const auto code = line.Finish(60s);
    ASSERT_TRUE(code.has_value());
    EXPECT_TRUE(*code == feFatalTimeout || *code == feNoConnect) << *code;
    EXPECT_TRUE(line.Event("result error", 10s).has_value());
    EXPECT_TRUE(line.PortIsClean());
}

TEST(Class1Faults, DamagedTrainingOnReceiveIsAnsweredWithFtt) {
    // The caller's first training check arrives damaged: we answer FTT, the caller trains
    // again one rate lower, and the page arrives.
    Class1Line line;
    const std::vector<FaxRaster> pages = {testpages::Pattern(1728, 50, 51)};
    ASSERT_TRUE(testpages::WriteTiff(line.File("tx.tif"), pages, false));
    ASSERT_TRUE(line.Start(
        {"--tx-tiff", line.File("tx.tif"), "--ftt", "1", "--rate", "9600", "--time-factor", "10"}));
    FaxEngineOptions options = Class1Options();
    options.oneFax = true;
    ASSERT_EQ(line.StartReceive(options), 0);
    ASSERT_TRUE(line.Client().WaitStatus(fsWaitingForCall, 10s));
    ASSERT_TRUE(line.Sim().Process().WriteLine("call"));
    EXPECT_EQ(line.Finish(90s), 0);
    EXPECT_EQ(line.Events("frame tx FTT ").size(), 1u);
    EXPECT_EQ(line.Events("frame tx CFR ").size(), 1u);
    ASSERT_FALSE(line.Client().LogProgress().empty());
    EXPECT_EQ(line.Client().LogProgress().back().bitRate, 7200);
    const auto files = line.Client().FilesNamed();
    ASSERT_EQ(files.size(), 1u);
    const auto received = ReadApfPages(files[0], nullptr);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(Difference(received[0], pages[0]), "");
}

TEST(Class1Faults, UnansweredPostPageMessageIsTriedThreeTimesThenTimesOut) {
    // The far end falls silent after the page: each EOP waits 3 s for an answer, a blank
    // stops the modem listening, and the fourth try ends the fax with -6006.
    Class1Line line;
    ASSERT_TRUE(line.Start({"--mute-after-page", "1"}));
    line.Client().AddFax({"5550199", WriteFax(line, 1), ""});
    FaxEngineOptions options = Class1Options();
    options.exitOnError = true;
    ASSERT_EQ(line.StartSend(options), 0);
    EXPECT_EQ(line.Finish(90s), feFatalTimeout);
    EXPECT_TRUE(line.Event("far mute after-page=1", 1s).has_value());
    EXPECT_EQ(line.Events("frame tx EOP ").size(), 3u);
    EXPECT_EQ(line.Events("frame tx DCN ").size(), 0u);
    EXPECT_EQ(line.Client().Logs(), (std::vector<int>{flTransmitStarted, flTransmitFailed}));
    EXPECT_TRUE(line.PortIsClean());
}

TEST(Class1Faults, RejectedPageIsSentAgainFromItsStartOneRateLower) {
    // The line spoils the first page: the far end answers RTN, we train one rate lower and
    // send the same page again from its start; both pages arrive whole.
    Class1Line line;
    ASSERT_TRUE(line.Start({"--damage-page", "1", "--rx-tiff", line.File("rx.tif")}));
    const std::vector<FaxRaster> pages = {testpages::Pattern(1728, 40, 81),
                                          testpages::Pattern(1728, 40, 82)};
    WriteApf(line.File("fax.apf"), pages, false);
    line.Client().AddFax({"5550199", line.File("fax.apf"), ""});
    FaxEngineOptions options = Class1Options();
    options.desiredBps = 9600;
    ASSERT_EQ(line.StartSend(options), 0);
    EXPECT_EQ(line.Finish(120s), 0);
    EXPECT_EQ(line.Events("page damaged").size(), 1u);
    EXPECT_EQ(line.Events("frame rx RTN ").size(), 1u);
    EXPECT_EQ(DcsRates(line), (std::vector<int>{0x04, 0x0C}));
    EXPECT_TRUE(Contains(line.Client().Statuses(), fsPageError));
    const auto result = line.Event("result ", 20s);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->substr(0, 9), "result ok") << *result;
    const auto received = testpages::ReadTiff(line.File("rx.tif"));
    ASSERT_EQ(received.size(), 2u) << "the rejected page is not kept by the far end";
    for (std::size_t p = 0; p < 2; ++p) {
        EXPECT_EQ(Difference(received[p], ExpectedPage(pages[p], "", false)), "") << p + 1;
    }
}
