// "qpx apf info" and "qpx apf totiff" on a 1 MB file whose header claims 65,535 pages of
// image length 0 (raw pages, and pages of line records without an end-of-page record):
// each command must walk the page headers once, well under 5 s.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr unsigned kPages = 65535;

std::string TempName(const std::string& suffix) {
    return "/tmp/qpbench-pages-" + std::to_string(getpid()) + suffix;
}

// The 64-byte file header and 65,535 page headers of the given flags, all image length 0.
std::string EmptyPagesFile(std::uint16_t flags) {
    const std::string name = TempName("-" + std::to_string(flags) + ".APF");
    std::vector<char> bytes(64 + 16 * static_cast<std::size_t>(kPages), 0);
    const char signature[] = {'A', 'P', 'F', '1', '0', 0x1A};
    std::copy(signature, signature + 6, bytes.begin());
    bytes[32] = static_cast<char>(kPages & 0xFF);
    bytes[33] = static_cast<char>(kPages >> 8);
    bytes[34] = 64;
    for (std::size_t page = 0; page < kPages; ++page) {
        bytes[64 + 16 * page + 4] = static_cast<char>(flags);
    }
    std::ofstream(name, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
    return name;
}

// Processor time (user and system) the finished child processes have used so far.
double ChildSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the command per iteration; besides the wall time, reports the processor time qpx
// used ("qpx cpu s"), which a busy machine does not inflate.
void RunQpx(benchmark::State& state, const std::string& arguments) {
    const std::string command = std::string(QP_QPX_PATH) + " apf " + arguments + " > /dev/null";
    const double before = ChildSeconds();
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError(("failed: " + command).c_str());
            break;
        }
    }
    state.counters["qpx cpu s"] =
        (ChildSeconds() - before) /
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

void BM_QpxInfoEmptyPages(benchmark::State& state) {
    const std::string file = EmptyPagesFile(static_cast<std::uint16_t>(state.range(0)));
    RunQpx(state, "info " + file);
    unlink(file.c_str());
}
BENCHMARK(BM_QpxInfoEmptyPages)
    ->Arg(0)
    ->Arg(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

void BM_QpxToTiffEmptyPages(benchmark::State& state) {
    const std::string file = EmptyPagesFile(static_cast<std::uint16_t>(state.range(0)));
    const std::string tiff = TempName(".tif");
    RunQpx(state, "totiff " + file + " -o " + tiff);
    unlink(file.c_str());
    unlink(tiff.c_str());
}
BENCHMARK(BM_QpxToTiffEmptyPages)
    ->Arg(0)
    ->Arg(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

} // namespace

BENCHMARK_MAIN();
