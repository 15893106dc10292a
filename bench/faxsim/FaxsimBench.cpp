// How fast the simulated line can run: the cost of one 20 ms step of line time, idle and
// during a call (spandsp's modem receiving while its far end transmits), as line seconds
// per second of computing time — the highest time factor the machine sustains.
#include <benchmark/benchmark.h>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <termios.h>
#include <unistd.h>

#include "EventSink.h"
#include "FaxSimulator.h"

namespace {

class NullSink final : public faxsim::EventSink {
public:
    void Event(const std::string&) override {}
};

class BenchLine {
public:
    explicit BenchLine(bool call) {
        dir_ =
            std::filesystem::temp_directory_path() / ("faxsim-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        options_.link = (dir_ / "modem").string();
        simulator_ = std::make_unique<faxsim::FaxSimulator>(options_, sink_);
        std::string error;
        if (!simulator_->Start(&error)) {
            return;
        }
        fd_ = ::open(options_.link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios settings{};
        ::tcgetattr(fd_, &settings);
        ::cfmakeraw(&settings);
        ::tcsetattr(fd_, TCSANOW, &settings);
        if (call) {
            Write("ATE0\r");
            Write("AT+FCLASS=1\r");
            Write("ATD5550199\r");
            for (int i = 0; i < 1000 && received_.find("CONNECT") == std::string::npos; ++i) {
                Step();
            }
        }
    }
    ~BenchLine() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        simulator_.reset();
        std::filesystem::remove_all(dir_);
    }

    bool Ready() const { return fd_ >= 0; }
    bool Connected() const { return received_.find("CONNECT") != std::string::npos; }

    void Step() {
        simulator_->Step(std::chrono::steady_clock::now());
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fd_, buffer, sizeof buffer)) > 0) {
            if (received_.size() < 4096) {
                received_.append(buffer, static_cast<std::size_t>(n));
            }
        }
    }

private:
    void Write(const char* text) {
        [[maybe_unused]] const ssize_t n = ::write(fd_, text, std::string(text).size());
        for (int i = 0; i < 5; ++i) {
            Step();
        }
    }

    std::filesystem::path dir_;
    faxsim::SimOptions options_;
    NullSink sink_;
    std::unique_ptr<faxsim::FaxSimulator> simulator_;
    int fd_ = -1;
    std::string received_;
};

void RunSteps(benchmark::State& state, BenchLine& line) {
    std::int64_t steps = 0;
    for (auto _ : state) {
        line.Step();
        ++steps;
    }
    state.counters["line_s_per_s"] =
        benchmark::Counter(static_cast<double>(steps) * 0.02, benchmark::Counter::kIsRate);
}

void BM_StepIdle(benchmark::State& state) {
    BenchLine line(false);
    if (!line.Ready()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    RunSteps(state, line);
}
BENCHMARK(BM_StepIdle);

void BM_StepInCall(benchmark::State& state) {
    BenchLine line(true);
    if (!line.Ready() || !line.Connected()) {
        state.SkipWithError("no call");
        return;
    }
    RunSteps(state, line);
}
BENCHMARK(BM_StepInCall);

} // namespace

BENCHMARK_MAIN();
