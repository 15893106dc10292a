#include <gtest/gtest.h>

#include <fstream>

#include "Emulator.h"
#include "EngineHarness.h"
#include "TestPages.h"
#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/FaxSendEngine.h"
#include "SendRun.h"

using namespace qpfax;
using namespace enginetest;
using namespace std::chrono_literals;

namespace {

std::vector<std::string> WriteCover(const std::string& path) {
    const std::vector<std::string> lines = {"COVER SHEET", "To: $R", "", "Pages: $N"};
    std::ofstream out(path);
    for (const auto& line : lines) {
        out << line << "\r\n";
    }
    return {"COVER SHEET", "To: Ada", "", "Pages: 4"};
}

struct SendCase {
    TFaxClass faxClass;
    int pages;
    bool fine;
};

class FaxEngineSend : public ::testing::TestWithParam<SendCase> {};

} // namespace

TEST_P(FaxEngineSend, PagesWithHeaderAndTextCoverArrivePixelForPixel) {
    // A whole fax (text cover, header line with page tokens, APF pages) through a Class 2
    // or 2.0 modem: the far end's decoded pages are ours, ended the class's way.
    const SendCase c = GetParam();
    SendRun run;
    ASSERT_TRUE(run.Open({"--rx-tiff", run.modem.File("rx.tif"), "--time-factor", "20",
                          "--remote-id", "FAR END 7"}));
    std::vector<FaxRaster> pages;
    for (int p = 0; p < c.pages; ++p) {
        pages.push_back(testpages::Pattern(1728, 60 + 10 * p, p + 1));
    }
    const std::string apf = run.modem.File("fax.apf");
    WriteApf(apf, pages, c.fine);
    auto coverLines = WriteCover(run.modem.File("cover.txt"));
    coverLines.back() = "Pages: " + std::to_string(c.pages + 1);

    FaxEngineOptions options = TestOptions(c.faxClass);
    options.headerLine = "FROM $F PAGE $P OF $N $Z";
    options.headerSender = "QUILL";
    options.headerRecipient = "Ada";
    run.client.AddFax({"5550199", apf, run.modem.File("cover.txt")});
    ASSERT_EQ(run.Start(options), 0);
    EXPECT_EQ(run.Finish(), 0);

    EXPECT_EQ(run.client.Logs(), (std::vector<int>{flTransmitStarted, flTransmitFinished}));
    EXPECT_EQ(run.client.Errors(), std::vector<int>{});
    EXPECT_EQ(run.client.LogProgress().back().remoteId, "FAR END 7");
    EXPECT_EQ(run.client.FirstReports(), 1);
    EXPECT_EQ(run.client.LastReports(), 1);
    const auto statuses = run.client.Statuses();
    for (int s : {fsInitializing, fsDialing, fsGotRemoteId, fsSendingPage, fsSendingEop,
                  fsPageAccepted, fsFinished}) {
        EXPECT_NE(std::find(statuses.begin(), statuses.end(), s), statuses.end()) << s;
    }

    const int total = c.pages + 1;
    ASSERT_TRUE(run.modem.Event("call end", 10s));
    const auto ends = run.modem.EventsSoFar("page-end ");
    ASSERT_EQ(static_cast<int>(ends.size()), total);
    for (int p = 0; p < total; ++p) {
        if (c.faxClass == fcClass2) {
            EXPECT_EQ(ends[static_cast<std::size_t>(p)], "page-end class2 DLE-ETX");
        } else {
            EXPECT_EQ(ends[static_cast<std::size_t>(p)],
                      p + 1 < total ? "page-end class2.0 DLE-," : "page-end class2.0 DLE-.");
        }
    }
    const auto commands = run.modem.EventsSoFar("cmd AT+FET");
    if (c.faxClass == fcClass2) {
        ASSERT_EQ(static_cast<int>(commands.size()), total);
        for (int p = 0; p < total; ++p) {
            EXPECT_EQ(commands[static_cast<std::size_t>(p)],
                      p + 1 < total ? "cmd AT+FET=0" : "cmd AT+FET=2");
        }
    } else {
        EXPECT_TRUE(commands.empty());
    }

    const auto received = testpages::ReadTiff(run.modem.File("rx.tif"));
    ASSERT_EQ(static_cast<int>(received.size()), total);
    EXPECT_EQ(
        Difference(received[0],
                   ExpectedCover(coverLines, "FROM QUILL PAGE 1 OF " + std::to_string(total) + " ",
                                 c.fine)),
        "")
        << "cover";
    for (int p = 0; p < c.pages; ++p) {
        const std::string header =
            "FROM QUILL PAGE " + std::to_string(p + 2) + " OF " + std::to_string(total) + " ";
        EXPECT_EQ(Difference(received[static_cast<std::size_t>(p + 1)],
                             ExpectedPage(pages[static_cast<std::size_t>(p)], header, c.fine)),
                  "")
            << "page " << p + 1;
    }
    for (const auto& page : run.modem.EventsSoFar("page ")) {
        EXPECT_EQ(EventValue(page, "bad"), "0") << page;
        EXPECT_EQ(EventValue(page, "res"), c.fine ? "fine" : "normal") << page;
    }
}

INSTANTIATE_TEST_SUITE_P(Classes, FaxEngineSend,
                         ::testing::Values(SendCase{fcClass2, 1, false},
                                           SendCase{fcClass2, 3, true},
                                           SendCase{fcClass2_0, 1, true},
                                           SendCase{fcClass2_0, 3, false}));
