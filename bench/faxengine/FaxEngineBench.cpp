// A 10-page fine fax at 14400 bit/s through the emulated Class 2 modem with its real
// protocol delays (scaled by a time factor to keep the run short): the engine's wall time
// against the line time of the data it sent plus the modem's fixed protocol delays, and
// the CPU the engine's process used while sending.
#include <benchmark/benchmark.h>

#include <chrono>
#include <sys/resource.h>

#include "Emulator.h"
#include "EngineHarness.h"
#include "TestPages.h"
#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/FaxSendEngine.h"

namespace {

using Clock = std::chrono::steady_clock;

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void SendTenFinePages(benchmark::State& state) {
    const int factor = static_cast<int>(state.range(0));
    const int rows = 1100;
    for (auto _ : state) {
        Emulator modem("bench");
        if (!modem.Start({"--delays", "real", "--rate", "14400", "--time-factor",
                          std::to_string(factor), "--rx-tiff", modem.File("rx.tif")})) {
            state.SkipWithError("class2modem did not start");
            return;
        }
        std::vector<FaxRaster> pages;
        for (int p = 0; p < 10; ++p) {
            pages.push_back(testpages::Pattern(1728, rows, p + 1));
        }
        const std::string apf = modem.File("ten.apf");
        enginetest::WriteApf(apf, pages, true);
        const int slot = enginetest::OpenPort(modem.Device());
        enginetest::RecordingClient client;
        client.AddFax({"5550199", apf, ""});
        qpfax::FaxEngineOptions options = enginetest::TestOptions(qpfax::fcClass2);
        options.responseWaitTicks = 182;
        options.dialWaitTicks = 1092;
        auto engine = std::make_shared<qpfax::FaxSendEngine>(client, options);
        client.SetEngine(engine);
        const double cpuBefore = ProcessCpuSeconds();
        const auto start = Clock::now();
        const bool started = engine->Start(slot) == 0;
        const auto finished = started ? client.WaitFinished(std::chrono::minutes(20)) : 0;
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = ProcessCpuSeconds() - cpuBefore;
        engine->Stop();
        qpcomm::ComDispatcher::Instance().ClosePort(slot);
        const auto end = modem.Event("call end ", std::chrono::seconds(30));
        if (!started || !finished || *finished != 0 || !end) {
            state.SkipWithError("the fax did not go through");
            return;
        }
        double bytes = 0;
        for (const auto& line : modem.EventsSoFar("page ")) {
            bytes += std::stod(EventValue(line, "bytes"));
        }
        const double protocol = std::stod(EventValue(*end, "protocol-ms")) / 1000.0;
        const double line = bytes / (1800.0 * factor);
        state.counters["page_bytes"] = bytes;
        state.counters["wall_s"] = wall;
        state.counters["line_s"] = line;
        state.counters["protocol_s"] = protocol;
        state.counters["overhead_pct"] = (wall - line - protocol) / (line + protocol) * 100.0;
        state.counters["engine_cpu_pct"] = cpu / wall * 100.0;
        state.SetIterationTime(wall);
    }
}

} // namespace

BENCHMARK(SendTenFinePages)->Arg(4)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
