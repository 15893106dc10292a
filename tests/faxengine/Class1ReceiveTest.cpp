// Receiving with a Class 1 modem: spandsp's T.30 terminal calls through spandsp's Class 1
// modem and the program answers, trains, takes the pages and confirms them itself.
#include <gtest/gtest.h>

#include <filesystem>

#include "Class1Line.h"
#include "TestPages.h"
#include "faximage/core/ApfPageHeader.h"

using namespace qpfax;
using namespace enginetest;
using namespace std::chrono_literals;

namespace {

struct ReceiveCase {
    int pages;
    bool fine;
    std::string farRate; // the far end's highest rate
    int expectedBps;
};

class Class1Receive : public ::testing::TestWithParam<ReceiveCase> {};

} // namespace

TEST_P(Class1Receive, OurFileHoldsTheCallersPagesPixelForPixel) {
    const ReceiveCase c = GetParam();
    Class1Line line;
    std::vector<FaxRaster> pages;
    for (int p = 0; p < c.pages; ++p) {
        pages.push_back(testpages::Pattern(1728, 60 + 15 * p, 31 + p));
    }
    ASSERT_TRUE(testpages::WriteTiff(line.File("tx.tif"), pages, c.fine));
    ASSERT_TRUE(line.Start({"--tx-tiff", line.File("tx.tif"), "--remote-id", "CALLER 42", "--rate",
                            c.farRate, "--time-factor", "10"}));

    FaxEngineOptions options = Class1Options();
    options.oneFax = true;
    ASSERT_EQ(line.StartReceive(options), 0);
    ASSERT_TRUE(line.Client().WaitStatus(fsWaitingForCall, 10s));
    ASSERT_TRUE(line.Sim().Process().WriteLine("call"));
    EXPECT_EQ(line.Finish(60s), 0);

    EXPECT_EQ(line.Client().Errors(), std::vector<int>{});
    EXPECT_EQ(line.Client().Logs(), (std::vector<int>{flReceiveStarted, flReceiveFinished}));
    EXPECT_EQ(line.Client().AcceptQuestions(), std::vector<std::string>{"CALLER 42"});
    ASSERT_FALSE(line.Client().LogProgress().empty());
    EXPECT_EQ(line.Client().LogProgress().back().bitRate, c.expectedBps);

    const auto files = line.Client().FilesNamed();
    ASSERT_EQ(files.size(), 1u);
    std::vector<std::uint16_t> flags;
    std::string station;
    const auto received = ReadApfPages(files[0], &flags, &station);
    EXPECT_EQ(station, "CALLER 42           ");
    ASSERT_EQ(received.size(), pages.size());
    for (std::size_t p = 0; p < pages.size(); ++p) {
        EXPECT_EQ(flags[p], c.fine ? ApfPageHeader::FlagFine : 0) << "page " << p + 1;
        EXPECT_EQ(Difference(received[p], pages[p]), "") << "page " << p + 1;
    }

    // The caller got our ID from the CSI and reports success.
    const auto result = line.Event("result ", 20s);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->substr(0, 9), "result ok") << *result;
    EXPECT_EQ(Field(*result, "remote-id"), "QP TEST 1");
    EXPECT_EQ(Field(*result, "pages"), std::to_string(c.pages));
    const auto statuses = line.Client().Statuses();
    for (int s : {fsWaitingForCall, fsAnswering, fsGotRemoteId, fsConnectionParams, fsGettingPage,
                  fsGettingEndOfPage, fsGettingHangup, fsGotHangup}) {
        EXPECT_NE(std::find(statuses.begin(), statuses.end(), s), statuses.end()) << s;
    }
    EXPECT_TRUE(line.PortIsClean());
}

INSTANTIATE_TEST_SUITE_P(Rates, Class1Receive,
                         ::testing::Values(ReceiveCase{3, true, "14400", 14400},
                                           ReceiveCase{1, false, "4800", 4800}));

TEST(Class1BothSides, OurSenderReachesOurReceiverThroughTwoModems) {
    Class1Line line;
    ASSERT_TRUE(line.Start({"--time-factor", "10"}, true));
    const std::vector<FaxRaster> pages = {testpages::Pattern(1728, 60, 61),
                                          testpages::Pattern(1728, 45, 62)};
    WriteApf(line.File("fax.apf"), pages, true);

    FaxEngineOptions receiving = Class1Options();
    receiving.stationId = "QP RECEIVER";
    receiving.oneFax = true;
    ASSERT_EQ(line.StartReceive(receiving, 2), 0);
    ASSERT_TRUE(line.Client(2).WaitStatus(fsWaitingForCall, 10s));

    FaxEngineOptions sending = Class1Options();
    sending.stationId = "QP SENDER";
    sending.headerLine = "PAGE $P OF $N";
    line.Client(1).AddFax({"5550100", line.File("fax.apf"), ""});
    ASSERT_EQ(line.StartSend(sending, 1), 0);
    EXPECT_EQ(line.Finish(120s, 1), 0);
    EXPECT_EQ(line.Finish(30s, 2), 0);

    EXPECT_EQ(line.Client(1).Errors(), std::vector<int>{});
    EXPECT_EQ(line.Client(2).Errors(), std::vector<int>{});
    ASSERT_FALSE(line.Client(1).LogProgress().empty());
    EXPECT_EQ(line.Client(1).LogProgress().back().remoteId, "QP RECEIVER");
    EXPECT_EQ(line.Client(1).LogProgress().back().bitRate, 14400);
    EXPECT_EQ(line.Client(2).AcceptQuestions(), std::vector<std::string>{"QP SENDER"});
    const auto files = line.Client(2).FilesNamed();
    ASSERT_EQ(files.size(), 1u);
    std::vector<std::uint16_t> flags;
    const auto received = ReadApfPages(files[0], &flags);
    ASSERT_EQ(received.size(), pages.size());
    for (std::size_t p = 0; p < pages.size(); ++p) {
        EXPECT_EQ(flags[p], ApfPageHeader::FlagFine);
        const std::string header = "PAGE " + std::to_string(p + 1) + " OF 2";
        EXPECT_EQ(Difference(received[p], ExpectedPage(pages[p], header, true)), "")
            << "page " << p + 1;
    }
    EXPECT_TRUE(line.PortIsClean(1));
    EXPECT_TRUE(line.PortIsClean(2));
}
