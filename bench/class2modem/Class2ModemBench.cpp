// The emulated Class 2 modem's own timing, seen from a computer that never keeps it
// waiting: a fine page at 14400 bit/s with real protocol delays takes the page data's
// line time plus the fixed delays the modem reports for the call, and the emulator's
// CPU stays small. These are the figures a fax engine's own benchmark builds on.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "ComputerSide.h"
#include "Emulator.h"
#include "TestPages.h"

namespace {

using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

// User + system CPU seconds of a process so far.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t paren = line.rfind(')');
    if (paren == std::string::npos) {
        return 0;
    }
    std::istringstream fields(line.substr(paren + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14 || index == 15) {
            ticks += std::stod(field);
        }
    }
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

void SendFinePageWithRealDelays(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Emulator modem("bench");
        if (!modem.Start(
                {"--delays", "real", "--rate", "14400", "--rx-tiff", modem.File("rx.tif")})) {
            state.SkipWithError("class2modem did not start");
            return;
        }
        ComputerSide pc;
        pc.Open(modem.Device());
        const auto coded = testpages::Code(testpages::Pattern(1728, rows, 1));
        auto wire = testpages::Stuffed(coded);
        wire.push_back(0x10);
        wire.push_back(0x03);
        const double cpuBefore = CpuSeconds(modem.Process().Pid());
        const auto start = Clock::now();
        bool ok = pc.Exchange("ATE0").back() == "OK" &&
                  pc.Exchange("AT+FCLASS=2;+FDIS=1,5,0,2,0,0,0,0").back() == "OK" &&
                  pc.Exchange("ATDT5550199", std::chrono::seconds(60)).back() == "OK" &&
                  pc.Exchange("AT+FDT", std::chrono::seconds(30)).back() == "CONNECT" &&
                  pc.AwaitControl(0x11) && pc.Write(wire, std::chrono::seconds(300)) &&
                  pc.Lines(std::chrono::seconds(60)) == Lines{"OK"} &&
                  pc.Exchange("AT+FET=2", std::chrono::seconds(30)).back() == "OK";
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = CpuSeconds(modem.Process().Pid()) - cpuBefore;
        const auto end = modem.Event("call end ");
        if (!ok || !end) {
            state.SkipWithError("the call did not complete");
            return;
        }
        const double protocol = std::stod(EventValue(*end, "protocol-ms")) / 1000.0;
        const double line = static_cast<double>(coded.size()) / 1800.0;
        state.counters["page_bytes"] = static_cast<double>(coded.size());
        state.counters["wall_s"] = wall;
        state.counters["line_s"] = line;
        state.counters["protocol_s"] = protocol;
        state.counters["overhead_pct"] = (wall - line - protocol) / (line + protocol) * 100.0;
        state.counters["emulator_cpu_pct"] = cpu / wall * 100.0;
        state.SetIterationTime(wall);
    }
}

} // namespace

BENCHMARK(SendFinePageWithRealDelays)
    ->Arg(1000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
