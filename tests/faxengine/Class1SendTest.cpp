// Sending with a Class 1 modem: the program runs the fax procedure itself against
// spandsp's T.30 terminal behind spandsp's Class 1 modem, in real time on the line.
#include <gtest/gtest.h>

#include "Class1Line.h"
#include "TestPages.h"

using namespace qpfax;
using namespace enginetest;
using namespace std::chrono_literals;

namespace {

struct SendCase {
    int pages;
    bool fine;
    int desiredBps;
    std::uint8_t dcsRateBits; // of byte A
};

class Class1Send : public ::testing::TestWithParam<SendCase> {};

std::string HeaderFor(int page, int total) {
    return "QP TEST 1 PAGE " + std::to_string(page) + " OF " + std::to_string(total);
}

} // namespace

TEST_P(Class1Send, FarEndReceivesOurPagesPixelForPixel) {
    const SendCase c = GetParam();
    Class1Line line;
    ASSERT_TRUE(line.Start({"--rx-tiff", line.File("rx.tif"), "--remote-id", "FAR 555 0199"}));
    std::vector<FaxRaster> pages;
    for (int p = 0; p < c.pages; ++p) {
        pages.push_back(testpages::Pattern(1728, 50 + 10 * p, 21 + p));
    }
    WriteApf(line.File("fax.apf"), pages, c.fine);

    FaxEngineOptions options = Class1Options();
    options.desiredBps = c.desiredBps;
    options.headerLine = "$I PAGE $P OF $N";
    line.Client().AddFax({"5550199", line.File("fax.apf"), ""});
    ASSERT_EQ(line.StartSend(options), 0);
    EXPECT_EQ(line.Finish(120s), 0);

    EXPECT_EQ(line.Client().Errors(), std::vector<int>{});
    EXPECT_EQ(line.Client().Logs(), (std::vector<int>{flTransmitStarted, flTransmitFinished}));
    ASSERT_FALSE(line.Client().LogProgress().empty());
    EXPECT_EQ(line.Client().LogProgress().back().remoteId, "FAR 555 0199");
    EXPECT_EQ(line.Client().LogProgress().back().bitRate, c.desiredBps);

    const auto result = line.Event("result ", 20s);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->substr(0, 9), "result ok") << *result;
    EXPECT_EQ(Field(*result, "pages"), std::to_string(c.pages));
    EXPECT_EQ(Field(*result, "rate"), std::to_string(c.desiredBps));
    EXPECT_EQ(Field(*result, "remote-id"), "QP TEST 1");

    // The DCS as sent: resolution, the rate, scan time and length bits.
    const auto dcs = line.Event("frame tx DCS ", 1s);
    ASSERT_TRUE(dcs.has_value());
    char expected[32];
    std::snprintf(expected, sizeof expected, "ff138300%02x",
                  (c.fine ? 0x42 : 0x02) | c.dcsRateBits);
    EXPECT_EQ(dcs->substr(13, 10), expected) << *dcs;
    std::string tsi = "frame tx TSI ff0343";
    for (int i = 0; i < 11; ++i) {
        tsi += "20";
    }
    tsi += "312054534554205051"; // "1 TSET PQ": the ID last to first
    EXPECT_EQ(line.Events("frame tx TSI"), std::vector<std::string>{tsi});

    const auto received = testpages::ReadTiff(line.File("rx.tif"));
    ASSERT_EQ(static_cast<int>(received.size()), c.pages);
    for (int p = 0; p < c.pages; ++p) {
        EXPECT_EQ(Difference(received[static_cast<std::size_t>(p)],
                             ExpectedPage(pages[static_cast<std::size_t>(p)],
                                          HeaderFor(p + 1, c.pages), c.fine)),
                  "")
            << "page " << p + 1;
    }
    EXPECT_TRUE(line.Sim().Saw("hangup computer"));
    EXPECT_TRUE(line.PortIsClean());
}

INSTANTIATE_TEST_SUITE_P(Rates, Class1Send,
                         ::testing::Values(SendCase{1, false, 9600, 0x04},
                                           SendCase{3, true, 14400, 0x20},
                                           SendCase{1, false, 2400, 0x00}));
