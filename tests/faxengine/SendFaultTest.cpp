#include <gtest/gtest.h>

#include <thread>

#include "SendRun.h"

using namespace qpfax;
using namespace enginetest;
using namespace std::chrono_literals;

namespace {

bool Contains(const std::vector<int>& values, int value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

// Milliseconds between two event lines read by the test (their arrival order).
class Stopwatch {
public:
    Stopwatch() : start_(std::chrono::steady_clock::now()) {}
    long Ms() const {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start_)
                                     .count());
    }

private:
    std::chrono::steady_clock::time_point start_;
};

} // namespace

TEST(FaxEngineSendFaults, BusyThreeTimesDialsThreeTimesApartThenFailsAndThePortServesTheNext) {
    // A busy number with DialAttempts 3: three dials a DialRetryWait apart, -8074, the
    // fax logged as failed; the same port then sends the next fax.
    SendRun run;
    ASSERT_TRUE(run.Open(
        {"--fault", "busy:3", "--rx-tiff", run.modem.File("rx.tif"), "--time-factor", "20"}));
    run.QueueFax(1);
    FaxEngineOptions options = TestOptions(fcClass2);
    options.dialAttempts = 3;
    options.dialRetryWaitTicks = 18; // 1 s
    ASSERT_EQ(run.Start(options), 0);
    std::vector<long> dialTimes;
    Stopwatch clock;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(run.modem.Event("dial ", 10s)) << i;
        dialTimes.push_back(clock.Ms());
    }
    EXPECT_EQ(run.Finish(), feBusy);
    EXPECT_EQ(run.modem.EventsSoFar("dial ").size(), 3u);
    for (std::size_t i = 1; i < dialTimes.size(); ++i) {
        EXPECT_GE(dialTimes[i] - dialTimes[i - 1], 900) << i;
        EXPECT_LE(dialTimes[i] - dialTimes[i - 1], 2500) << i;
    }
    EXPECT_TRUE(Contains(run.client.Statuses(), fsBusyWait));
    EXPECT_EQ(run.client.Logs(), (std::vector<int>{flTransmitStarted, flTransmitFailed}));
    EXPECT_EQ(run.client.Errors(), std::vector<int>{feBusy});

    // The next fax on the same port goes through.
    RecordingClient second;
    const std::string apf = run.modem.File("fax1.apf");
    second.AddFax({"5550199", apf, ""});
    auto engine = std::make_shared<FaxSendEngine>(second, TestOptions(fcClass2));
    second.SetEngine(engine);
    ASSERT_EQ(engine->Start(run.slot), 0);
    EXPECT_EQ(second.WaitFinished(30s), 0);
    engine->Stop();
    EXPECT_EQ(second.Logs(), (std::vector<int>{flTransmitStarted, flTransmitFinished}));
    EXPECT_EQ(qpcomm::ComDispatcher::Instance().ClosePort(run.slot), 0);
    run.slot = 0;
}

TEST(FaxEngineSendFaults, UnlimitedAttemptsRedialUntilCancelled) {
    // DialAttempts 0 keeps redialing a busy number; Cancel ends the run with status 42.
    SendRun run;
    ASSERT_TRUE(run.Open({"--fault", "busy"}));
    run.QueueFax(1);
    FaxEngineOptions options = TestOptions(fcClass2_0);
    options.dialAttempts = 0;
    options.dialRetryWaitTicks = 2;
    ASSERT_EQ(run.Start(options), 0);
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(run.modem.Event("dial ", 10s)) << i;
    }
    EXPECT_FALSE(run.client.WaitFinished(0ms));
    run.engine->Abort();
    EXPECT_EQ(run.Finish(), feCancelRequested);
    EXPECT_TRUE(Contains(run.client.Statuses(), fsUserAbort));
    EXPECT_FALSE(Contains(run.client.Errors(), feBusy));
    EXPECT_GE(run.engine->Progress().dialAttempt, 5);
}

struct DialFault {
    const char* fault;
    int error;
};

class FaxEngineDialFaults : public ::testing::TestWithParam<DialFault> {};

TEST_P(FaxEngineDialFaults, DialAnswerEndsTheFaxWithItsError) {
    // VOICE, NO DIAL and NO CARRIER after dialing each end the fax with their own error.
    SendRun run;
    ASSERT_TRUE(run.Open({"--fault", GetParam().fault}));
    run.QueueFax(1);
    ASSERT_EQ(run.Start(TestOptions(fcClass2)), 0);
    EXPECT_EQ(run.Finish(), GetParam().error);
    EXPECT_EQ(run.client.Errors(), std::vector<int>{GetParam().error});
    EXPECT_EQ(run.client.Logs(), (std::vector<int>{flTransmitStarted, flTransmitFailed}));
    EXPECT_TRUE(run.modem.Event("cmd ATH", 5s)) << "the fax is hung up";
}

INSTANTIATE_TEST_SUITE_P(Answers, FaxEngineDialFaults,
                         ::testing::Values(DialFault{"voice", feVoice},
                                           DialFault{"nodial", feNoDialTone},
                                           DialFault{"nocarrier", feNoConnect}));

class FaxEngineRejectedPages : public ::testing::TestWithParam<TFaxClass> {};

TEST_P(FaxEngineRejectedPages, TwoRejectionsAreRetriedAThirdKillsTheCall) {
    // A page the far end rejects is sent again; the third rejection ends the fax with
    // "AT+FKS" and -8079.
    for (int rejections : {2, 3}) {
        SCOPED_TRACE(rejections);
        SendRun run;
        ASSERT_TRUE(run.Open({"--fault", "rtn:" + std::to_string(rejections), "--time-factor", "20",
                              "--rx-tiff", run.modem.File("rx.tif")}));
        run.QueueFax(1);
        ASSERT_EQ(run.Start(TestOptions(GetParam())), 0);
        if (rejections == 2) {
            EXPECT_EQ(run.Finish(), 0);
            EXPECT_EQ(run.client.Logs(), (std::vector<int>{flTransmitStarted, flTransmitFinished}));
            ASSERT_TRUE(run.modem.Event("call end", 10s));
            EXPECT_EQ(run.modem.EventsSoFar("cmd AT+FDT").size(), 3u);
            EXPECT_TRUE(run.modem.EventsSoFar("cmd AT+FKS").empty());
        } else {
            EXPECT_EQ(run.Finish(), feMidSession);
            EXPECT_TRUE(run.modem.Event("cmd AT+FKS", 5s));
            EXPECT_EQ(run.client.Errors(), std::vector<int>{feMidSession});
            EXPECT_EQ(run.client.Logs(), (std::vector<int>{flTransmitStarted, flTransmitFailed}));
        }
        EXPECT_TRUE(Contains(run.client.Statuses(), fsPageError));
    }
}

INSTANTIATE_TEST_SUITE_P(Classes, FaxEngineRejectedPages, ::testing::Values(fcClass2, fcClass2_0));

TEST(FaxEngineSendFaults, ASilentModemTimesOut) {
    // A modem that never answers a command: "Fatal time out" after the response wait.
    SendRun run;
    ASSERT_TRUE(run.Open({"--fault", "silent:AT+FDIS"}));
    run.QueueFax(1);
    ASSERT_EQ(run.Start(TestOptions(fcClass2)), 0);
    Stopwatch clock;
    EXPECT_EQ(run.Finish(), feFatalTimeout);
    EXPECT_GE(clock.Ms(), 2500);
    EXPECT_EQ(run.client.Errors(), std::vector<int>{feFatalTimeout});
}

TEST(FaxEngineSendFaults, AnUnsupportedClassFailsTheStart) {
    // Asking for Class 2.0 on a modem that only knows Class 2 fails at its select command;
    // detection on a modem without fax classes fails the start itself.
    SendRun run;
    ASSERT_TRUE(run.Open({"--classes", "0"}));
    run.QueueFax(1);
    EXPECT_EQ(run.Start(TestOptions(fcDetect)), feBadResponse);
    EXPECT_TRUE(run.client.Logs().empty());
}

struct CancelPoint {
    const char* name;
    std::vector<std::string> args;
    int status; // abort once this status was reported
};

class FaxEngineCancel : public ::testing::TestWithParam<CancelPoint> {};

TEST_P(FaxEngineCancel, CancelEndsWithUserAbortAndHangsUp) {
    // Cancel while dialing, while waiting to redial and while page data flows: status 42,
    // -6005, the modem told to hang up, the port free for the next user.
    const CancelPoint& c = GetParam();
    SendRun run;
    ASSERT_TRUE(run.Open(c.args));
    run.QueueFax(2, true, 600);
    FaxEngineOptions options = TestOptions(fcClass2);
    options.dialRetryWaitTicks = 182;
    ASSERT_EQ(run.Start(options), 0);
    ASSERT_TRUE(run.client.WaitStatus(c.status, 10s));
    run.engine->Abort();
    EXPECT_EQ(run.Finish(), feCancelRequested);
    EXPECT_EQ(run.client.Errors(), std::vector<int>{feCancelRequested});
    EXPECT_TRUE(Contains(run.client.Statuses(), fsUserAbort));
    EXPECT_EQ(run.client.Logs(), (std::vector<int>{flTransmitStarted, flTransmitFailed}));
    // The modem is hung up and takes the next fax on the same port.
    RecordingClient next;
    next.AddFax({"5550199", run.modem.File("fax1.apf"), ""});
    auto engine = std::make_shared<FaxSendEngine>(next, TestOptions(fcClass2));
    next.SetEngine(engine);
    ASSERT_EQ(engine->Start(run.slot), 0);
    next.WaitStatus(fsDialing, 20s);
    engine->Abort();
    next.WaitFinished(20s);
    engine->Stop();
    while (run.modem.Event("", 500ms)) {
    }
    EXPECT_GE(run.modem.EventsSoFar("cmd ATD").size(), 2u);
    EXPECT_TRUE(!run.modem.EventsSoFar("cmd ATH").empty() ||
                !run.modem.EventsSoFar("cmd +++ATH").empty() ||
                !run.modem.EventsSoFar("dtr off").empty());
    EXPECT_EQ(qpcomm::ComDispatcher::Instance().ClosePort(run.slot), 0);
    run.slot = 0;
}

INSTANTIATE_TEST_SUITE_P(
    States, FaxEngineCancel,
    ::testing::Values(CancelPoint{"dialing", {"--fault", "silent:ATD"}, fsDialing},
                      CancelPoint{"redial", {"--fault", "busy"}, fsBusyWait},
                      CancelPoint{"page", {"--time-factor", "1"}, fsSendingPage}),
    [](const auto& info) { return std::string(info.param.name); });
