#include "common/EQPException.h"
#include "common/ErrorText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Every code class reaches its text through the resource-number rule: a wrong branch
// or offset would show another code's text or none at all.
TEST(ErrorText, ResourceRuleFindsTheTextOfEachCodeClass) {
    const struct {
        int code;
        int resource;
        const char* text;
    } cases[] = {
        {0, 11000, "OK"},
        {2, 11002, "File not found"},
        {100, 11900, "Attempt to read beyond end of file"},
        {-100, 11900, "Attempt to read beyond end of file"},
        {150, 11950, "Disk is write-protected"},
        {-1002, 11102, "Bad argument passed to function"},
        {-2011, 11211, "The ComNumber property of the TQpComPort has not been set"},
        {-3006, 11306, "Output buffer too small for block"},
        {-5001, 11501, "No more trigger slots"},
        {-6005, 11605, "Cancel requested"},
        {-8001, 11801, "File is not an APF file"},
        {-8082, 11882, "Multiple resolutions per session not supported"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(qp::ErrorResourceId(c.code), c.resource);
        ASSERT_TRUE(qp::ErrorText(c.code).has_value());
        EXPECT_EQ(*qp::ErrorText(c.code), c.text);
    }
    EXPECT_EQ(qp::ErrorResourceId(-13805), 13805);
}

// Callers word a failure themselves when a code has no text, so an unknown code must
// not borrow a neighbour's.
TEST(ErrorText, UnknownCodesHaveNoText) {
    for (int code : {1, 7, 106, 199, -1004, -2012, -4001, -8004, -8099, -9999, -13850}) {
        SCOPED_TRACE(code);
        EXPECT_FALSE(qp::ErrorText(code).has_value());
    }
    EXPECT_EQ(qp::ErrorTextOr(-4001, "Modem error"), "Modem error");
}

TEST(ErrorText, StatusTextsCoverSendReceiveAndCommonCodes) {
    EXPECT_EQ(qp::StatusText(1), "Initializing modem for fax processing");
    EXPECT_EQ(qp::StatusText(7), "Page accepted by remote");
    EXPECT_EQ(qp::StatusText(20), "Waiting for incoming call");
    EXPECT_EQ(qp::StatusText(28), "Got Class 2 FHNG code");
    EXPECT_EQ(qp::StatusText(43), "Finished");
    EXPECT_FALSE(qp::StatusText(8).has_value());
    EXPECT_FALSE(qp::StatusText(44).has_value());
    for (int status = 1; status <= 43; ++status) {
        if (auto text = qp::StatusText(status)) {
            EXPECT_LE(text->size(), qp::MaxErrorTextLength);
        }
    }
}

TEST(ErrorText, ExceptionCarriesCodeAndText) {
    const EQPException known(-3007);
    EXPECT_EQ(known.ErrorCode(), -3007);
    EXPECT_STREQ(known.what(), "Buffer is empty");
    const EQPException unknown(-4321);
    EXPECT_EQ(std::string(unknown.what()), "Error -4321");
}

} // namespace
