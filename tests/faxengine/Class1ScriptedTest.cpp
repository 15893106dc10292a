// Class 1 exchanges against a modem the test plays itself on a pseudo-terminal, for what
// spandsp's far end does not do on request: a caller that stays silent after our DIS.
#include <gtest/gtest.h>

#include "EngineHarness.h"
#include "PtyPair.h"
#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/FaxReceiveEngine.h"

using namespace qpfax;
using namespace enginetest;
using namespace std::chrono_literals;

namespace {

// The modem side: reads the computer's bytes and answers with result lines.
class ScriptedModem {
public:
    explicit ScriptedModem(PtyPair& pty) : pty_(pty) {}

    // Waits until `text` has come from the computer; true when it did.
    bool Expect(const std::string& text, std::chrono::milliseconds limit = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            const std::size_t at = seen_.find(text);
            if (at != std::string::npos) {
                seen_.erase(0, at + text.size());
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            seen_ += pty_.ReadFor(50ms);
        }
    }
    void Answer(const std::string& result) { pty_.Write("\r\n" + result + "\r\n"); }
    // Answers "OK" to a command.
    bool Ok(const std::string& command) {
        if (!Expect(command + "\r")) {
            return false;
        }
        Answer("OK");
        return true;
    }

private:
    PtyPair& pty_;
    std::string seen_;
};

std::string Frame(std::initializer_list<int> bytes) {
    std::string frame;
    for (int b : bytes) {
        frame.push_back(static_cast<char>(b));
    }
    return frame + "\x10\x03";
}

} // namespace

TEST(Class1Scripted, SilentCallerGetsCsiAndDisThreeMoreTimesThenTimeout) {
    PtyPair pty;
    ScriptedModem modem(pty);
    const int slot = OpenPort(pty.SlaveName());
    ASSERT_GT(slot, 0);
    RecordingClient client;
    FaxEngineOptions options;
    options.faxClass = fcClass1;
    options.stationId = "AB";
    options.responseWaitTicks = 55;
    options.exitOnError = true;
    auto engine = std::make_shared<FaxReceiveEngine>(client, options);
    client.SetEngine(engine);

    std::thread script([&] {
        modem.Ok("AT");
        modem.Ok("AT+FCLASS=1");
        if (modem.Expect("AT+FRM=?\r")) {
            modem.Answer("24,48,72,96");
            modem.Answer("OK");
        }
    });
    ASSERT_EQ(engine->Start(slot), 0);
    script.join();
    ASSERT_TRUE(modem.Ok("AT+FCLASS=1"));
    ASSERT_TRUE(client.WaitStatus(fsWaitingForCall, 5s));
    modem.Answer("RING");
    ASSERT_TRUE(modem.Expect("ATA\r"));

    std::string csi = Frame({0xFF, 0x03, 0x40});
    csi.insert(3, std::string(18, ' ') + "BA");
    const std::string dis = Frame({0xFF, 0x13, 0x80, 0x00, 0x4E, 0xF9, 0x00});
    for (int call = 0; call < 4; ++call) {
        modem.Answer("CONNECT");
        ASSERT_TRUE(modem.Expect(csi)) << "CSI " << call;
        modem.Answer("CONNECT");
        ASSERT_TRUE(modem.Expect(dis)) << "DIS " << call;
        modem.Answer("OK");
        ASSERT_TRUE(modem.Expect("AT+FRH=3\r", 3s)) << call;
        // Nobody speaks: after 3 s a byte stops the listening and CSI/DIS go again.
        if (call < 3) {
            ASSERT_TRUE(modem.Expect("AT\r\r", 6s)) << call;
            modem.Answer("OK");
            ASSERT_TRUE(modem.Expect("AT+FTH=3\r", 2s)) << call;
        }
    }
    EXPECT_EQ(client.WaitFinished(15s), feFatalTimeout);
    engine->Stop();
    EXPECT_EQ(client.Errors(), std::vector<int>{feFatalTimeout});
    qpcomm::ComDispatcher::Instance().ClosePort(slot);
}
