// Short scripted Class 1 exchanges through faxsim with spandsp's T.30 terminal (or a second
// simulated modem) at the far end: the frames, training checks and page data a Class 1
// program sends and receives, byte for byte, with the faults the simulator injects. The
// full T.30 procedures are the fax engine's; these scripts only go as far as needed to
// show that the simulated line carries them.
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#include "ComputerPort.h"
#include "FaxsimProcess.h"
#include "TestPages.h"
#include "TestPaths.h"

using Ms = std::chrono::milliseconds;
using Frame = std::vector<std::uint8_t>;

namespace {

constexpr std::uint8_t kCsi = 0x40;
constexpr std::uint8_t kDis = 0x80;
constexpr std::uint8_t kTsi = 0x42;
constexpr std::uint8_t kDcs = 0x82;
constexpr std::uint8_t kCfr = 0x84;
constexpr std::uint8_t kFtt = 0x44;
constexpr std::uint8_t kMcf = 0x8C;
constexpr std::uint8_t kMps = 0x4E;
constexpr std::uint8_t kEop = 0x2E;
constexpr std::uint8_t kDcn = 0xFA;

std::uint8_t Fcf(const Frame& frame) {
    return frame.size() >= 3 ? static_cast<std::uint8_t>(frame[2] & 0xFE) : 0;
}

bool Final(const Frame& frame) {
    return frame.size() >= 2 && (frame[1] & 0x10) != 0;
}

// Receives frames with +FRH=3 up to the last frame of the message.
std::vector<Frame> ReceiveMessage(ComputerPort& port, bool alreadyConnected = false) {
    std::vector<Frame> frames;
    for (int i = 0; i < 6; ++i) {
        if (!alreadyConnected && port.Command("AT+FRH=3", Ms(15000)) != "CONNECT") {
            break;
        }
        alreadyConnected = false;
        const auto frame = port.Data(Ms(10000), true);
        if (!frame || port.Line() != "OK") {
            break;
        }
        frames.push_back(*frame);
        if (Final(*frame)) {
            break;
        }
    }
    return frames;
}

// Sends frames with +FTH=3 (one CONNECT per frame, OK after the last). After ATA the
// modem already waits for the first frame.
bool SendMessage(ComputerPort& port, const std::vector<Frame>& frames,
                 bool alreadyConnected = false) {
    if (!alreadyConnected && port.Command("AT+FTH=3", Ms(5000)) != "CONNECT") {
        return false;
    }
    for (std::size_t i = 0; i < frames.size(); ++i) {
        port.SendFrame(frames[i]);
        const std::string expected = i + 1 < frames.size() ? "CONNECT" : "OK";
        if (port.Line(Ms(10000)) != expected) {
            return false;
        }
    }
    return true;
}

// The modulation code of a received DCS.
std::string Modulation(const Frame& dcs) {
    switch (dcs[4] & 0x3C) {
    case 0x00:
        return "24";
    case 0x08:
        return "48";
    case 0x0C:
        return "72";
    case 0x04:
        return "96";
    case 0x2C:
        return "73";
    case 0x24:
        return "97";
    case 0x28:
        return "121";
    default:
        return "145";
    }
}

double NonZeroShare(const std::vector<std::uint8_t>& data) {
    std::size_t nonZero = 0;
    for (std::uint8_t byte : data) {
        nonZero += byte != 0 ? 1 : 0;
    }
    return data.empty() ? 1.0 : static_cast<double>(nonZero) / static_cast<double>(data.size());
}

class FaxsimSession : public ::testing::Test {
protected:
    void StartLine(std::vector<std::string> args, const std::string& link = "modem") {
        link_ = dir_.file(link);
        args.insert(args.begin(), {"--link", link_});
        std::string error;
        ASSERT_TRUE(sim_.Start(args, &error)) << error;
        ASSERT_TRUE(port_.Open(link_));
        Reset(port_);
    }

    static void Reset(ComputerPort& port) {
        ASSERT_TRUE(port.Command("ATE0Q0V1X4S0=0S2=43"));
        ASSERT_EQ(port.Line(), "OK");
        ASSERT_EQ(port.Command("AT+FCLASS=1"), "OK");
    }

    qptest::ScratchDir dir_{"faxsim-session"};
    std::string link_;
    FaxsimProcess sim_;
    ComputerPort port_;
};

} // namespace

// Sending to spandsp's answering terminal: its CSI and DIS, our TSI and DCS, a training
// check the line damages (FTT) and a clean one (CFR), one page, and the far end hanging
// up with DCN instead of answering MPS. The page the far end stored equals ours.
TEST_F(FaxsimSession, SendWithFailedTrainingAndFarEndHangUp) {
    const std::string rxDir = dir_.file("received");
    const std::string page = dir_.file("page.tif");
    ASSERT_TRUE(WriteTestTiff(page, {TestPage{40, false, false, 5}}));
    StartLine({"--ftt", "1", "--dcn-after-page", "1", "--rx-dir", rxDir, "--remote-id", "FAR END",
               "--time-factor", "10"});

    ASSERT_EQ(port_.Command("ATD5550199", Ms(20000)), "CONNECT");
    const auto identification = ReceiveMessage(port_, true);
    ASSERT_EQ(identification.size(), 2u) << sim_.Transcript();
    EXPECT_EQ(Fcf(identification[0]), kCsi);
    EXPECT_EQ(FrameIdent(identification[0]), "FAR END");
    const Frame& dis = identification[1];
    EXPECT_EQ(Fcf(dis), kDis);
    EXPECT_NE(dis[4] & 0x40, 0); // fine resolution offered
    EXPECT_NE(dis[4] & 0x20, 0); // V.17 offered

    const Frame tsi = IdentFrame(0x43, "ABC");
    const Frame dcs = {0xFF, 0x13, 0x83, 0x00, 0x06, 0xF8, 0x00}; // 9600, normal, scan time 0
    const std::vector<std::uint8_t> tcf(1800, 0);
    std::vector<std::uint8_t> answers;
    for (int attempt = 0; attempt < 2; ++attempt) {
        ASSERT_TRUE(SendMessage(port_, {tsi, dcs})) << sim_.Transcript();
        ASSERT_EQ(port_.Command("AT+FTS=8"), "OK");
        ASSERT_EQ(port_.Command("AT+FTM=96"), "CONNECT");
        port_.SendData(tcf);
        ASSERT_EQ(port_.Line(Ms(10000)), "OK");
        const auto response = ReceiveMessage(port_);
        ASSERT_FALSE(response.empty()) << sim_.Transcript();
        answers.push_back(Fcf(response.back()));
    }
    EXPECT_EQ(answers, (std::vector<std::uint8_t>{kFtt, kCfr}));
    EXPECT_TRUE(sim_.Saw("tcf damaged")) << sim_.Transcript();
    EXPECT_TRUE(sim_.Saw("far phase-b DCS remote-id=\"ABC\""));

    ASSERT_EQ(port_.Command("AT+FTM=96"), "CONNECT");
    port_.SendData(EncodePage(page, 1));
    ASSERT_EQ(port_.Line(Ms(10000)), "OK");
    ASSERT_EQ(port_.Command("AT+FTS=8"), "OK");
    ASSERT_TRUE(SendMessage(port_, {{0xFF, 0x13, 0x4F}})); // MPS
    const auto afterPage = ReceiveMessage(port_);
    ASSERT_EQ(afterPage.size(), 1u) << sim_.Transcript();
    EXPECT_EQ(Fcf(afterPage[0]), kDcn); // not MCF
    EXPECT_EQ(port_.Command("ATH"), "OK");

    const auto stats = sim_.Await("far stats ");
    ASSERT_TRUE(stats);
    EXPECT_TRUE(sim_.Await("result error"));
    EXPECT_TRUE(sim_.Saw("far page 1 rows=40 bad=0 rate=9600 resolution=normal post=MPS"))
        << sim_.Transcript();
    EXPECT_TRUE(sim_.Saw("far dcn after-page=1"));
    // One file per call in the folder, named by date, time and call number.
    const auto at = stats->find(" rx-tiff=");
    ASSERT_NE(at, std::string::npos) << *stats;
    const std::string rx = stats->substr(at + 9);
    EXPECT_EQ(std::filesystem::path(rx).parent_path(), std::filesystem::path(rxDir));
    const std::string name = std::filesystem::path(rx).filename().string();
    EXPECT_EQ(name.size(), std::string("rx-20240101-120000-001.tif").size()) << name;
    EXPECT_EQ(name.rfind("rx-", 0), 0u) << name;
    EXPECT_NE(name.find("-001.tif"), std::string::npos) << name;
    EXPECT_EQ(ReadRows(rx, 1), ReadRows(page, 1));
}

// Receiving from spandsp's calling terminal: RING, ATA, our CSI and DIS, its TSI and DCS,
// a damaged training check (we answer FTT), the retrained one, two fine pages with MCF,
// and its DCN. Both pages decode to the far end's TIFF pages.
TEST_F(FaxsimSession, ReceiveWithDamagedTraining) {
    const std::string pages = dir_.file("send.tif");
    ASSERT_TRUE(WriteTestTiff(pages, {TestPage{60, true, false, 1}, TestPage{30, true, false, 2}}));
    StartLine({"--ftt", "1", "--remote-id", "CALLER", "--time-factor", "10"});
    sim_.Process().WriteLine("call " + pages);
    ASSERT_EQ(port_.Line(Ms(5000)), "RING");
    ASSERT_EQ(port_.Command("ATA", Ms(15000)), "CONNECT");
    // DIS: fine, V.29 (7200 and 9600), 1728 wide.
    ASSERT_TRUE(SendMessage(
        port_, {IdentFrame(0x40, "+1 555 0100"), {0xFF, 0x13, 0x80, 0x00, 0x4E, 0xF9, 0x00}},
        true));

    std::vector<std::uint8_t> answers;
    std::vector<double> shares;
    std::string modulation;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto setup = ReceiveMessage(port_);
        ASSERT_EQ(setup.size(), 2u) << sim_.Transcript();
        EXPECT_EQ(Fcf(setup[0]), kTsi);
        EXPECT_EQ(FrameIdent(setup[0]), "CALLER");
        ASSERT_EQ(Fcf(setup[1]), kDcs);
        modulation = Modulation(setup[1]);
        ASSERT_EQ(port_.Command("AT+FRM=" + modulation, Ms(10000)), "CONNECT");
        const auto tcf = port_.Data(Ms(10000));
        ASSERT_TRUE(tcf);
        EXPECT_EQ(port_.Line(), "NO CARRIER");
        shares.push_back(NonZeroShare(*tcf));
        const bool good = shares.back() < 0.10;
        answers.push_back(good ? kCfr : kFtt);
        ASSERT_TRUE(
            SendMessage(port_, {{0xFF, 0x13, static_cast<std::uint8_t>(good ? 0x84 : 0x44)}}));
        if (good) {
            break;
        }
    }
    ASSERT_EQ(answers, (std::vector<std::uint8_t>{kFtt, kCfr}));
    EXPECT_GT(shares[0], 0.2);  // damaged on the way
    EXPECT_LT(shares[1], 0.05); // a few bytes while the receiver trains

    for (int number = 1; number <= 2; ++number) {
        ASSERT_EQ(port_.Command("AT+FRM=" + modulation, Ms(10000)), "CONNECT");
        const auto data = port_.Data(Ms(20000));
        ASSERT_TRUE(data);
        EXPECT_EQ(port_.Line(), "NO CARRIER");
        const std::string decoded = dir_.file("page" + std::to_string(number) + ".tif");
        ASSERT_TRUE(DecodePage(*data, true, decoded));
        EXPECT_EQ(ReadRows(decoded, 1), ReadRows(pages, number)) << "page " << number;
        const auto post = ReceiveMessage(port_);
        ASSERT_EQ(post.size(), 1u);
        EXPECT_EQ(Fcf(post[0]), number == 1 ? kMps : kEop);
        ASSERT_TRUE(SendMessage(port_, {{0xFF, 0x13, kMcf}}));
    }
    const auto last = ReceiveMessage(port_);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(Fcf(last[0]), kDcn);
    EXPECT_EQ(port_.Command("ATH"), "OK");
    const auto result = sim_.Await("result ");
    ASSERT_TRUE(result);
    EXPECT_EQ(*result,
              "result ok pages=2 rate=" + std::string(modulation == "72" ? "7200" : "9600") +
                  " remote-id=\"+1 555 0100\"");
}

// Two computers through two simulated modems: one dials, the other rings and answers,
// frames pass both ways, and when one hangs up the other's modem loses the carrier.
TEST_F(FaxsimSession, TwoModemsCallEachOther) {
    const std::string second = dir_.file("second");
    StartLine({"--link2", second, "--time-factor", "10"});
    ComputerPort callee;
    ASSERT_TRUE(callee.Open(second));
    Reset(callee);

    port_.Write("ATD5550100\r");
    EXPECT_TRUE(sim_.Await("dial 5550100 port=1"));
    ASSERT_EQ(callee.Line(Ms(10000)), "RING");
    EXPECT_TRUE(sim_.Await("ring 1 port=2"));
    ASSERT_EQ(callee.Command("ATA", Ms(15000)), "CONNECT");
    ASSERT_TRUE(SendMessage(
        callee, {IdentFrame(0x40, "CALLEE"), {0xFF, 0x13, 0x80, 0x00, 0x4E, 0xF9, 0x00}}, true));

    ASSERT_EQ(port_.Line(Ms(15000)), "CONNECT");
    const auto received = ReceiveMessage(port_, true);
    ASSERT_EQ(received.size(), 2u) << sim_.Transcript();
    EXPECT_EQ(FrameIdent(received[0]), "CALLEE");
    EXPECT_EQ(Frame(received[1].begin(), received[1].end() - 2),
              (Frame{0xFF, 0x13, 0x80, 0x00, 0x4E, 0xF9, 0x00}));

    callee.Write("AT+FRH=3\r"); // listens while the caller answers
    ASSERT_TRUE(SendMessage(
        port_, {IdentFrame(0x43, "CALLER"), {0xFF, 0x13, 0x83, 0x00, 0x06, 0xF8, 0x00}}))
        << sim_.Transcript();
    const auto tsi = callee.Data(Ms(10000), true);
    ASSERT_TRUE(tsi);
    EXPECT_EQ(FrameIdent(*tsi), "CALLER");
    EXPECT_EQ(callee.Line(), "OK");
    const auto dcs = ReceiveMessage(callee);
    ASSERT_EQ(dcs.size(), 1u);
    EXPECT_EQ(Fcf(dcs[0]), kDcs);

    EXPECT_EQ(callee.Command("AT+FRH=3", Ms(5000)), std::nullopt); // nothing comes
    EXPECT_EQ(port_.Command("ATH"), "OK");
    EXPECT_EQ(callee.Line(Ms(5000)), "NO CARRIER");
    EXPECT_TRUE(sim_.Await("hangup computer port=1"));
    EXPECT_TRUE(sim_.Await("hangup line"));
    EXPECT_EQ(callee.Command("AT"), "OK");
}
