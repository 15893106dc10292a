// The faults the emulated modem shows on request, each the way a real modem or the far
// end produces it: failed dials, rejected pages, page status, hang-up codes, lost lines,
// cancelled pages, silence, a missing XON, lower-case answers, an extra OK.
#include <gtest/gtest.h>

#include "ComputerSide.h"
#include "Emulator.h"
#include "TestPages.h"

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

namespace {

const std::vector<std::uint8_t> DleEtx = {0x10, 0x03};

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a,
                                    const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<std::uint8_t> Wire(const FaxRaster& page) {
    return testpages::Stuffed(testpages::Code(page));
}

// True when the answer ends with OK (in either case).
bool Final(const Lines& lines) {
    return lines.back() == "OK" || lines.back() == "ok";
}

// A modem with the fault(s) given, reset, in `faxClass`, dialled and connected.
struct FaultyLine {
    Emulator modem;
    ComputerSide pc;

    bool Start(const std::vector<std::string>& args, const std::string& faxClass) {
        std::vector<std::string> all = {"--time-factor", "20"};
        all.insert(all.end(), args.begin(), args.end());
        if (!modem.Start(all) || !pc.Open(modem.Device())) {
            return false;
        }
        return Final(pc.Exchange("ATE0V1")) && Final(pc.Exchange("AT+FCLASS=" + faxClass));
    }
    bool Dial(const std::string& faxClass) {
        if (faxClass == "2.0" && pc.Exchange("AT+FNR=1,1,1,0") != Lines{"OK"}) {
            return false;
        }
        const Lines answer = pc.Exchange("ATDT5550199");
        return answer.size() > 1 && answer.back() == "OK";
    }
    // Sends one page after AT+FDT and its end marker; the lines that follow the data.
    Lines SendPage(const FaxRaster& page, const std::vector<std::uint8_t>& marker) {
        const Lines connect = pc.Exchange("AT+FDT");
        if (connect.back() != "CONNECT") {
            return connect;
        }
        pc.Write(Wire(page) + marker);
        return pc.Lines();
    }
    bool Answer(const std::string& faxClass) {
        if (pc.Exchange("AT+FCR=1") != Lines{"OK"} ||
            (faxClass == "2.0" && pc.Exchange("AT+FNR=1,1,1,0") != Lines{"OK"})) {
            return false;
        }
        modem.Send("ring");
        if (pc.Line().value_or("") != "RING") {
            return false;
        }
        return pc.Exchange("ATA").back() == "OK";
    }
};

} // namespace

TEST(Class2ModemFaults, BusyNumberIsBusyForTheGivenNumberOfDialsThenAnswers) {
    // BUSY twice, then the fax answers; with busy detection off (X2) busy is NO CARRIER.
    FaultyLine s;
    ASSERT_TRUE(s.Start({"--fault", "busy:3"}, "2"));
    EXPECT_EQ(s.pc.Exchange("ATDT5550199"), (Lines{"BUSY"}));
    EXPECT_EQ(s.pc.Exchange("ATDT5550199"), (Lines{"BUSY"}));
    EXPECT_EQ(s.pc.Exchange("ATX2DT5550199"), (Lines{"NO CARRIER"}));
    EXPECT_EQ(s.pc.Exchange("ATX4DT5550199").front(), "+FCON");
    for (int dial = 0; dial < 3; ++dial) {
        EXPECT_TRUE(s.modem.Event("fault busy")) << dial;
        EXPECT_EQ(s.modem.Event("result ").value_or(""), "result error busy") << dial;
    }
    EXPECT_TRUE(s.modem.Event("connect outgoing class2"));
}

TEST(Class2ModemFaults, NoDialToneVoiceAndNoCarrierAnswerTheDial) {
    // Each dial fault answers ATD with its own result; blind dialing turns no dial tone
    // into NO CARRIER.
    FaultyLine s;
    ASSERT_TRUE(s.Start({"--fault", "nodial:2,voice:1,nocarrier:1,noanswer:1"}, "2"));
    EXPECT_EQ(s.pc.Exchange("ATDT1"), (Lines{"NO DIALTONE"}));
    EXPECT_EQ(s.pc.Exchange("ATX3DT1"), (Lines{"NO CARRIER"}));
    EXPECT_EQ(s.pc.Exchange("ATX4DT1"), (Lines{"VOICE"}));
    EXPECT_EQ(s.pc.Exchange("ATDT1"), (Lines{"NO CARRIER"}));
    EXPECT_EQ(s.pc.Exchange("ATDT1"), (Lines{"NO ANSWER"}));
    EXPECT_EQ(s.pc.Exchange("ATDT1").front(), "+FCON");
    EXPECT_EQ(s.pc.Exchange("AT+FCLASS=0"), (Lines{"ERROR"})) << "not during a call";
    EXPECT_TRUE(s.modem.Event("result error no dial tone"));
    EXPECT_TRUE(s.modem.Event("result error voice"));
    EXPECT_TRUE(s.modem.Event("result error no carrier"));
    EXPECT_TRUE(s.modem.Event("result error no answer"));
}

TEST(Class2ModemFaults, Class2RejectedPagesAreRetrainedAndCanBeKilled) {
    // RTN: +FPTS:2 and a new negotiation on the next AT+FDT; AT+FKS after two rejections
    // ends the call with hang-up code 2; on the next call the third rejection is followed
    // by MCF.
    FaultyLine s;
    ASSERT_TRUE(s.Start({"--fault", "rtn:3"}, "2"));
    ASSERT_TRUE(s.Dial("2"));
    const FaxRaster page = testpages::Pattern(1728, 30, 11);
    EXPECT_EQ(s.SendPage(page, DleEtx), (Lines{"OK"}));
    EXPECT_EQ(s.pc.Exchange("AT+FET=2"), (Lines{"+FPTS:2", "OK"}));
    EXPECT_EQ(s.pc.Exchange("AT+FDT"), (Lines{"+FDCS:1,5,0,2,0,0,0,0", "CONNECT"}))
        << "a rejected page is sent after a new training";
    s.pc.Write(Wire(page) + DleEtx);
    EXPECT_EQ(s.pc.Lines(), (Lines{"OK"}));
    EXPECT_EQ(s.pc.Exchange("AT+FET=2"), (Lines{"+FPTS:2", "OK"}));
    EXPECT_EQ(s.pc.Exchange("AT+FKS"), (Lines{"+FHNG:2", "OK"}));
    EXPECT_TRUE(s.modem.Event("call end hangup=2 pages=0"));
    EXPECT_EQ(s.modem.Event("result ").value_or(""),
              "result error cancelled by the computer (AT+FKS)");

    ASSERT_TRUE(s.Dial("2"));
    EXPECT_EQ(s.SendPage(page, DleEtx), (Lines{"OK"}));
    EXPECT_EQ(s.pc.Exchange("AT+FET=2"), (Lines{"+FPTS:2", "OK"}));
    EXPECT_EQ(s.SendPage(page, DleEtx), (Lines{"OK"}));
    EXPECT_EQ(s.pc.Exchange("AT+FET=2"), (Lines{"+FPTS:1", "+FHNG:0", "OK"}));
    EXPECT_EQ(s.modem.Event("result ").value_or(""), "result ok pages=1");
    EXPECT_EQ(s.modem.EventsSoFar("fault rtn").size(), 3u) << "every event was read by now";
}

TEST(Class2ModemFaults, Class20RejectedPageAnswersErrorAndPageStatusTellsWhy) {
    // Class 2.0: a rejected page makes DLE "." answer ERROR; AT+FPS? reads 2; the page
    // is sent again after a new negotiation.
    FaultyLine s;
    ASSERT_TRUE(s.Start({"--fault", "rtn:1"}, "2.0"));
    ASSERT_TRUE(s.Dial("2.0"));
    const FaxRaster page = testpages::Pattern(1728, 30, 12);
    const std::vector<std::uint8_t> last = {0x10, '.'};
    EXPECT_EQ(s.SendPage(page, last), (Lines{"ERROR"}));
    EXPECT_EQ(s.pc.Exchange("AT+FPS?"), (Lines{"2", "OK"}));
    EXPECT_EQ(s.pc.Exchange("AT+FDT"), (Lines{"+FCS:1,5,0,2,0,0,0,0,0", "CONNECT"}));
    s.pc.Write(Wire(page) + last);
    EXPECT_EQ(s.pc.Lines(), (Lines{"+FHS:00", "OK"}));
    EXPECT_EQ(s.modem.Event("result ").value_or(""), "result ok pages=1");
}

TEST(Class2ModemFaults, PageStatusAndHangupCodesComeWhereAsked) {
    // Page status 4 (PIN) after page 1; a call lost after page 2's post-page message
    // reports +FHNG:52 in Class 2 and +FHS:A0 (code 100) in Class 2.0.
    {
        FaultyLine s;
        ASSERT_TRUE(s.Start({"--fault", "pagestatus:4:1", "--fault", "hangup:52:post:2"}, "2"));
        ASSERT_TRUE(s.Dial("2"));
        const FaxRaster page = testpages::Pattern(1728, 20, 13);
        EXPECT_EQ(s.SendPage(page, DleEtx), (Lines{"OK"}));
        EXPECT_EQ(s.pc.Exchange("AT+FET=0"), (Lines{"+FPTS:4", "OK"}));
        EXPECT_EQ(s.SendPage(page, DleEtx), (Lines{"OK"})) << "PIN is not a rejection";
        EXPECT_EQ(s.pc.Exchange("AT+FET=0"), (Lines{"+FPTS:1", "OK"}));
        EXPECT_EQ(s.SendPage(page, DleEtx), (Lines{"OK"}));
        EXPECT_EQ(s.pc.Exchange("AT+FET=2"), (Lines{"+FHNG:52", "ERROR"}));
        EXPECT_EQ(s.modem.Event("result ").value_or(""), "result error hangup 52");
        EXPECT_EQ(s.pc.Exchange("AT+FDT"), (Lines{"ERROR"})) << "the call is gone";
    }
    {
        FaultyLine s;
        ASSERT_TRUE(s.Start({"--fault", "hangup:100:post:1"}, "2.0"));
        ASSERT_TRUE(s.Dial("2.0"));
        EXPECT_EQ(s.SendPage(testpages::Pattern(1728, 20, 14), {0x10, ','}),
                  (Lines{"+FHS:A0", "ERROR"}));
        EXPECT_TRUE(s.modem.Event("call end hangup=A0 pages=0"));
    }
    {
        FaultyLine s;
        ASSERT_TRUE(s.Start({"--fault", "hangup:25:page:1"}, "2"));
        ASSERT_TRUE(s.Dial("2"));
        EXPECT_EQ(s.pc.Exchange("AT+FDT"), (Lines{"+FHNG:25", "ERROR"}));
    }
    {
        FaultyLine s;
        ASSERT_TRUE(s.Start({"--fault", "hangup:70:connect"}, "2"));
        EXPECT_EQ(s.pc.Exchange("ATDT5550199"), (Lines{"+FCON", "+FHNG:70", "ERROR"}));
    }
}

TEST(Class2ModemFaults, ReceivedPageStatusMakesTheFarEndSendAgainUnlessTheComputerOverrides) {
    // The modem judges page 1 bad (+FPTS:2): left alone, the far end sends it again. Page 2
    // is judged bad too, but the computer sets AT+FPTS=1 and the far end goes on.
    FaultyLine s;
    const std::vector<FaxRaster> pages = {testpages::Pattern(1728, 20, 15),
                                          testpages::Pattern(1728, 20, 16)};
    ASSERT_TRUE(testpages::WriteTiff(s.modem.File("a.tif"), pages, false));
    ASSERT_TRUE(s.Start(
        {"--tx-tiff", s.modem.File("a.tif"), "--fault", "rtn:1", "--fault", "pagestatus:2:2"},
        "2"));
    ASSERT_TRUE(s.Answer("2"));
    std::vector<std::vector<std::uint8_t>> received;
    std::vector<std::string> status;
    for (int transfer = 0; transfer < 3; ++transfer) {
        ASSERT_EQ(s.pc.Exchange("AT+FDR").back(), "CONNECT");
        s.pc.Write(std::string(1, 0x12));
        const auto data = s.pc.PageData();
        ASSERT_TRUE(data);
        received.push_back(*data);
        status.push_back(s.pc.Lines().front());
    }
    EXPECT_EQ(status, (Lines{"+FPTS:2,20,0,0,0", "+FPTS:1,20,0,0,0", "+FPTS:2,20,0,0,0"}));
    EXPECT_EQ(s.pc.Exchange("AT+FPTS=1"), (Lines{"OK"}));
    EXPECT_EQ(s.pc.Exchange("AT+FDR"), (Lines{"+FHNG:0", "OK"}));
    EXPECT_EQ(received[0], received[1]) << "page 1 is sent again";
    EXPECT_TRUE(testpages::Decode(testpages::Reversed(received[2]), 1728) == pages[1]);
    EXPECT_TRUE(s.modem.Event("page-sent 1 ").value_or("").ends_with("status=2"));
    EXPECT_TRUE(s.modem.Event("page-sent 1 ").value_or("").ends_with("status=1"));
    EXPECT_TRUE(s.modem.Event("page-sent 2 ").value_or("").ends_with("status=1"));
    EXPECT_EQ(s.modem.Event("result ").value_or(""), "result ok pages=2");
}

TEST(Class2ModemFaults, LineLostMidPageShowsOnBothSides) {
    // Sending: the far end is gone after 2 KB; the post-page message goes unanswered
    // (+FHNG:54 after EOP). Receiving: the data stops halfway, then DLE ETX and +FHNG:91.
    {
        FaultyLine s;
        ASSERT_TRUE(s.Start({"--fault", "cut:1"}, "2"));
        ASSERT_TRUE(s.Dial("2"));
        const FaxRaster page = testpages::Pattern(1728, 200, 17);
        ASSERT_GT(testpages::Code(page).size(), 4000u);
        EXPECT_EQ(s.SendPage(page, DleEtx), (Lines{"OK"}));
        EXPECT_EQ(s.pc.Exchange("AT+FET=2"), (Lines{"+FHNG:54", "ERROR"}));
        EXPECT_TRUE(s.modem.Event("fault cut page 1"));
        EXPECT_EQ(s.modem.Event("result ").value_or(""), "result error hangup 54");
    }
    {
        FaultyLine s;
        const FaxRaster page = testpages::Pattern(1728, 60, 18);
        ASSERT_TRUE(testpages::WriteTiff(s.modem.File("a.tif"), {page, page}, false));
        ASSERT_TRUE(s.Start({"--fault", "cut:2"}, "2.0"));
        ASSERT_TRUE(s.pc.Exchange("AT+FCR=1") == Lines{"OK"});
        s.modem.Send("call " + s.modem.File("a.tif"));
        ASSERT_EQ(s.pc.Line().value_or(""), "RING");
        ASSERT_EQ(s.pc.Exchange("ATA").back(), "OK");
        ASSERT_EQ(s.pc.Exchange("AT+FDR").back(), "CONNECT");
        s.pc.Write(std::string(1, 0x12));
        const auto whole = s.pc.PageData();
        ASSERT_TRUE(whole);
        EXPECT_EQ(s.pc.Lines().back(), "OK");
        ASSERT_EQ(s.pc.Exchange("AT+FDR").back(), "CONNECT");
        s.pc.Write(std::string(1, 0x12));
        const auto half = s.pc.PageData();
        ASSERT_TRUE(half);
        EXPECT_EQ(half->size(), whole->size() / 2);
        EXPECT_EQ(s.pc.Lines(), (Lines{"+FHS:91", "ERROR"}));
        EXPECT_TRUE(s.modem.Event("page-end class2.0 lost-carrier"));
        EXPECT_EQ(s.modem.Event("result ").value_or(""), "result error hangup 91");
    }
}

TEST(Class2ModemFaults, CancelledPageSendsCanAndEndsTheCall) {
    // The modem cancels page 1: CAN reaches the computer, the rest of the page is
    // dropped, and the call ends with hang-up code 2.
    FaultyLine s;
    ASSERT_TRUE(s.Start({"--fault", "can:1"}, "2"));
    ASSERT_TRUE(s.Dial("2"));
    EXPECT_EQ(s.SendPage(testpages::Pattern(1728, 120, 19), DleEtx), (Lines{"+FHNG:2", "ERROR"}));
    EXPECT_NE(s.pc.ControlBytes().find('\x18'), std::string::npos);
    EXPECT_TRUE(s.modem.Event("fault can page 1"));
    EXPECT_EQ(s.modem.Event("result ").value_or(""), "result error page cancelled (CAN)");
}

TEST(Class2ModemFaults, SilenceNoXonLowerCaseAndExtraOk) {
    // No answer to the first AT+FDT; no XON after CONNECT; lower-case answers; an OK
    // straight after a received page's DLE ETX.
    {
        FaultyLine s;
        ASSERT_TRUE(s.Start({"--fault", "silent:AT+FDT:1,noxon,lower"}, "2"));
        EXPECT_EQ(s.pc.Exchange("AT+FCLASS?"), (Lines{"2", "ok"}));
        const Lines dial = s.pc.Exchange("ATDT5550199");
        EXPECT_EQ(dial.front(), "+fcon");
        EXPECT_EQ(dial.back(), "ok");
        s.pc.Command("AT+FDT");
        EXPECT_TRUE(s.pc.Quiet(500ms)) << "the first AT+FDT goes unanswered";
        EXPECT_TRUE(s.modem.Event("fault silent"));
        EXPECT_EQ(s.pc.Exchange("AT+FDT").back(), "connect");
        EXPECT_TRUE(s.pc.Quiet(300ms));
        EXPECT_EQ(s.pc.ControlBytes(), "") << "no XON";
        s.pc.Write(Wire(testpages::Pattern(1728, 10, 20)) + DleEtx);
        EXPECT_EQ(s.pc.Lines(), (Lines{"ok"}));
    }
    {
        FaultyLine s;
        ASSERT_TRUE(s.Start({"--fault", "extra-ok"}, "2.0"));
        ASSERT_TRUE(
            testpages::WriteTiff(s.modem.File("a.tif"), {testpages::Pattern(1728, 10, 21)}, false));
        ASSERT_TRUE(s.pc.Exchange("AT+FCR=1") == Lines{"OK"});
        s.modem.Send("call " + s.modem.File("a.tif"));
        ASSERT_EQ(s.pc.Line().value_or(""), "RING");
        ASSERT_EQ(s.pc.Exchange("ATA").back(), "OK");
        ASSERT_EQ(s.pc.Exchange("AT+FDR").back(), "CONNECT");
        s.pc.Write(std::string(1, 0x12));
        ASSERT_TRUE(s.pc.PageData());
        EXPECT_EQ(s.pc.Lines(), (Lines{"OK"}));
        EXPECT_EQ(s.pc.Lines(), (Lines{"+FPS:1,A,0,0,0", "+FET:2", "OK"}));
    }
}

TEST(Class2ModemFaults, MisspeltFaultsAreRefusedAtStart) {
    // A misspelt fault is a usage error (exit status 2), not a silently ignored option.
    for (const char* fault : {"busy:x", "pagestatus:6", "hangup", "hangup:52:later", "bogus",
                              "cut:0", "silent:A:B:C"}) {
        Emulator modem;
        EXPECT_FALSE(modem.Start({"--fault", fault})) << fault;
        EXPECT_EQ(modem.Process().Wait(5s).value_or(-1), 2) << fault;
    }
}
