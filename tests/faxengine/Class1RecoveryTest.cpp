// Class 1 calls that need the program to recover or give up by its timers: nobody
// answering, a damaged training check on receive, a silent far end after the page, a page
// the far end rejects.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "Class1Line.h"
#include "TestPages.h"

using namespace qpfax;
using namespace enginetest;
using namespace std::chrono_literals;

namespace {

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

} // namespace

TEST(Class1Recovery, NobodyAnsweringEndsWithTimeout) {
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

TEST(Class1Recovery, DamagedTrainingOnReceiveIsAnsweredWithFtt) {
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

TEST(Class1Recovery, UnansweredPostPageMessageIsTriedThreeTimesThenTimesOut) {
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

TEST(Class1Recovery, RejectedPageIsSentAgainFromItsStartOneRateLower) {
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

TEST(Class1Recovery, CallerLostDuringASecondPageEndsTheCallAndReceiveModeWaitsAgain) {
    // The caller's line drops while its second page is on its way: the modem answers each
    // listen for the post-page message with ERROR or NO CARRIER. We stop asking once the
    // caller has had its time, report -6006, keep the first page only, hang up and wait
    // for the next call.
    Class1Line line;
    const std::vector<FaxRaster> pages = {testpages::Pattern(1728, 40, 91),
                                          testpages::Pattern(1728, 3000, 92)};
    ASSERT_TRUE(testpages::WriteTiff(line.File("tx.tif"), pages, false));
    ASSERT_TRUE(line.Start({"--tx-tiff", line.File("tx.tif"), "--remote-id", "CALLER 44"}));
    FaxEngineOptions options = Class1Options();
    ASSERT_EQ(line.StartReceive(options), 0);
    ASSERT_TRUE(line.Client().WaitStatus(fsWaitingForCall, 10s));
    ASSERT_TRUE(line.Sim().Process().WriteLine("call"));
    ASSERT_TRUE(line.Event("far page 1 response=MCF", 40s).has_value()) << line.Sim().Transcript();
    std::this_thread::sleep_for(700ms);
    const auto listensBefore = line.Events("cmd AT+FRH=3").size();
    ASSERT_TRUE(line.Sim().Process().WriteLine("hangup"));

    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(Eventually([&] { return !line.Client().Errors().empty(); }, 20s))
        << line.Sim().Transcript();
    EXPECT_EQ(line.Client().Errors(), std::vector<int>{feFatalTimeout});
    EXPECT_LT(std::chrono::steady_clock::now() - started, 15s);
    // Listening again is limited by the caller's time, not repeated without end.
    const auto listensAfter = line.Events("cmd AT+FRH=3").size() - listensBefore;
    EXPECT_GE(listensAfter, 1u);
    EXPECT_LE(listensAfter, 70u); // at most one per 100 ms command pause

    // The line is hung up and the next call is answered.
    ASSERT_TRUE(Eventually([&] { return line.Client().Logs().size() >= 2; }, 10s));
    EXPECT_EQ(line.Client().Logs(), (std::vector<int>{flReceiveStarted, flReceiveFailed}));
    ASSERT_TRUE(
        Eventually([&] { return line.Client().Statuses().back() == fsWaitingForCall; }, 15s));
    ASSERT_TRUE(line.Sim().Process().WriteLine("call"));
    EXPECT_TRUE(line.Event("ring 1", 15s).has_value());
    const auto answers = [&] { return line.Events("answer").size(); };
    for (int i = 0; i < 150 && answers() < 2; ++i) {
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(answers(), 2u) << line.Sim().Transcript();

    const auto files = line.Client().FilesNamed();
    ASSERT_EQ(files.size(), 1u);
    std::string station;
    const auto received = ReadApfPages(files[0], nullptr, &station);
    EXPECT_EQ(station, "CALLER 44           ");
    ASSERT_EQ(received.size(), 1u) << "only the whole first page stays";
    EXPECT_EQ(Difference(received[0], pages[0]), "");
}
