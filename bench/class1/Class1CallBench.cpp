// One full page sent with a Class 1 modem in real time through faxsim to spandsp's T.30
// terminal: the call's time from connection to hang-up against the least time T.30
// allows for it, and each phase's time from the simulator's event trace.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <map>

#include "Class1Line.h"
#include "TestPages.h"

using namespace qpfax;
using namespace enginetest;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr double kPreambleS = 1.0; // V.21 flags before each message
constexpr double kCedS = 2.6;      // the called station's answer tone, at least
constexpr double kTcfS = 1.5;

// Seconds a V.21 message of frames with these lengths (without check bytes) takes.
double MessageSeconds(std::initializer_list<int> frameBytes) {
    double bits = 0;
    for (int bytes : frameBytes) {
        bits += (bytes + 2 + 1) * 8; // check bytes and a closing flag
    }
    return kPreambleS + bits / 300.0;
}

struct Trace {
    std::map<std::string, double> at; // first time each event was seen, s from connect
};

// Reads the simulator's events while the call runs, stamping each on arrival.
Trace Follow(Class1Line& line) {
    Trace trace;
    Clock::time_point connect{};
    const auto deadline = Clock::now() + 300s;
    while (Clock::now() < deadline) {
        const auto event = line.Sim().Process().ReadLine(50ms);
        if (!event) {
            if (!line.Sim().Process().Running()) {
                break;
            }
            continue;
        }
        const auto now = Clock::now();
        if (event->rfind("connect outgoing", 0) == 0) {
            connect = now;
        }
        const std::string key = event->substr(0, std::min<std::size_t>(event->size(), 12));
        const double s = std::chrono::duration<double>(now - connect).count();
        trace.at.emplace(key, s);
        if (event->rfind("call end", 0) == 0) {
            break;
        }
    }
    return trace;
}

void SendOnePage(benchmark::State& state) {
    const int bps = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Class1Line line;
        const FaxRaster page = testpages::Pattern(1728, 1100, 5);
        WriteApf(line.File("fax.apf"), {page}, false);
        if (!line.Start({"--rx-tiff", line.File("rx.tif"), "--time-factor", "1"})) {
            state.SkipWithError("faxsim did not start");
            return;
        }
        FaxEngineOptions options = Class1Options();
        options.desiredBps = bps;
        line.Client().AddFax({"5550199", line.File("fax.apf"), ""});
        if (line.StartSend(options) != 0) {
            state.SkipWithError("the engine did not start");
            return;
        }
        const Trace trace = Follow(line);
        if (line.Finish(30s) != 0) {
            state.SkipWithError("the fax failed");
            return;
        }
        auto t = [&](const std::string& key) {
            const auto it = trace.at.find(key.substr(0, std::min<std::size_t>(key.size(), 12)));
            return it == trace.at.end() ? -1.0 : it->second;
        };
        // The page as the line carries it: 8 white lines, the page, end of page.
        const double pageBits =
            8.0 * static_cast<double>(testpages::Code(ExpectedPage(page, "", false)).size());
        const double minimum = kCedS + MessageSeconds({23, 7}) /* CSI, DIS */ +
                               MessageSeconds({23, 7}) /* TSI, DCS */ + kTcfS +
                               MessageSeconds({3}) /* CFR */ + pageBits / bps +
                               MessageSeconds({3}) /* EOP */ + MessageSeconds({3}) /* MCF */ +
                               MessageSeconds({3}) /* DCN */;
        const double total = t("hangup computer");
        state.counters["call_s"] = total;
        state.counters["t30_minimum_s"] = minimum;
        state.counters["over_minimum_pct"] = 100.0 * (total - minimum) / minimum;
        state.counters["a_dis_in_s"] = t("frame rx DIS");
        state.counters["b_dcs_out_s"] = t("frame tx DCS") - t("frame rx DIS");
        state.counters["c_cfr_in_s"] = t("frame rx CFR") - t("frame tx DCS");
        state.counters["d_page_s"] = t("far page 1 r") - t("frame rx CFR");
        state.counters["e_mcf_in_s"] = t("frame rx MCF") - t("far page 1 r");
        state.counters["f_hangup_s"] = total - t("frame rx MCF");
        state.counters["page_bits_s"] = pageBits / bps;
        state.SetIterationTime(total);
    }
}

} // namespace

BENCHMARK(SendOnePage)
    ->Arg(9600)
    ->Arg(14400)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
