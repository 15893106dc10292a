// Serial port dispatcher figures on pseudo-terminals: the CPU an idle open port costs,
// throughput with hardware flow and the trace on, and the delay from a byte's arrival to
// its data-available trigger.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "faxcomm/core/ComDispatcher.h"

using namespace qpcomm;
using Clock = std::chrono::steady_clock;

namespace {

// A raw pty pair; the port opens the slave, the benchmark plays the far end.
struct Pty {
    int master = -1;
    int slave = -1;
    std::string name;
    Pty() {
        char buffer[128] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (::openpty(&master, &slave, buffer, &raw, nullptr) != 0) {
            throw std::runtime_error("openpty failed");
        }
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        name = buffer;
    }
    ~Pty() {
        ::close(master);
        ::close(slave);
    }
};

int OpenFast(const Pty& pty) {
    PortOpenRequest request;
    request.deviceName = pty.name;
    request.inSize = 8192;
    request.outSize = 8192;
    request.line.baud = 4000000;
    const int slot = ComDispatcher::Instance().OpenPort(std::move(request));
    if (slot < 0) {
        throw std::runtime_error("open failed");
    }
    ComDispatcher::Instance().HWFlowOptions(slot, 7372, 819, hwfUseRTS | hwfRequireCTS);
    ComDispatcher::Instance().RecordingOn(slot, Recording::Trace, MaxTraceSize);
    return slot;
}

double ProcessCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> data(size);
    std::uint32_t x = 12345;
    for (auto& byte : data) {
        x = x * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(x >> 16);
    }
    return data;
}

void WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t count = ::write(fd, data + done, size - done);
        if (count > 0) {
            done += static_cast<std::size_t>(count);
        } else {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 10);
        }
    }
}

} // namespace

// One open port, no traffic: CPU time of the whole process per wall-clock second.
static void BM_IdlePortCpu(benchmark::State& state) {
    Pty pty;
    const int slot = OpenFast(pty);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpuStart = ProcessCpuSeconds();
        const auto wallStart = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        cpu += ProcessCpuSeconds() - cpuStart;
        wall += std::chrono::duration<double>(Clock::now() - wallStart).count();
    }
    state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / wall;
    ComDispatcher::Instance().ClosePort(slot);
}
BENCHMARK(BM_IdlePortCpu)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// 1 MB from the far end into the port, read by the program in blocks; every byte checked.
static void BM_Receive1MB(benchmark::State& state) {
    const auto data = Pattern(1 << 20);
    for (auto _ : state) {
        Pty pty;
        const int slot = OpenFast(pty);
        std::thread writer([&] { WriteAll(pty.master, data.data(), data.size()); });
        std::vector<std::uint8_t> got;
        got.reserve(data.size());
        std::uint8_t block[4096];
        while (got.size() < data.size()) {
            const long count = ComDispatcher::Instance().GetBlock(slot, block, sizeof block);
            if (count > 0) {
                got.insert(got.end(), block, block + count);
            } else {
                ComDispatcher::Instance().WaitForData(slot, std::chrono::milliseconds(50));
            }
        }
        writer.join();
        if (got != data) {
            state.SkipWithError("received data differs");
        }
        ComDispatcher::Instance().ClosePort(slot);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (1 << 20));
}
BENCHMARK(BM_Receive1MB)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// 1 MB from the program through the output staging buffer to the far end.
static void BM_Transmit1MB(benchmark::State& state) {
    const auto data = Pattern(1 << 20);
    for (auto _ : state) {
        Pty pty;
        const int slot = OpenFast(pty);
        std::vector<std::uint8_t> got;
        got.reserve(data.size());
        std::thread reader([&] {
            std::uint8_t buffer[8192];
            while (got.size() < data.size()) {
                const ssize_t count = ::read(pty.master, buffer, sizeof buffer);
                if (count > 0) {
                    got.insert(got.end(), buffer, buffer + count);
                } else {
                    pollfd p{pty.master, POLLIN, 0};
                    ::poll(&p, 1, 10);
                }
            }
        });
        std::size_t sent = 0;
        while (sent < data.size()) {
            const std::size_t chunk = std::min<std::size_t>(4096, data.size() - sent);
            if (ComDispatcher::Instance().PutBlock(slot, data.data() + sent, chunk) == prOK) {
                sent += chunk;
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
        reader.join();
        if (got != data) {
            state.SkipWithError("transmitted data differs");
        }
        ComDispatcher::Instance().ClosePort(slot);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (1 << 20));
}
BENCHMARK(BM_Transmit1MB)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// From writing one byte at the far end to the data-available trigger procedure.
static void BM_DataAvailableLatency(benchmark::State& state) {
    Pty pty;
    const int slot = OpenFast(pty);
    std::mutex mutex;
    std::vector<double> delays;
    std::atomic<std::int64_t> sentAt{0};
    ComDispatcher::Instance().AddTriggerProcedure(slot, [&](int port, const TriggerMessage& m) {
        if (m.message != msgTriggerAvail) {
            return;
        }
        const auto now = Clock::now().time_since_epoch().count();
        std::uint8_t block[64];
        ComDispatcher::Instance().GetBlock(port, block, sizeof block);
        std::lock_guard guard(mutex);
        delays.push_back(static_cast<double>(now - sentAt.load()) / 1e6);
    });
    for (auto _ : state) {
        const std::size_t before = delays.size();
        const std::uint8_t byte = 'x';
        sentAt = Clock::now().time_since_epoch().count();
        WriteAll(pty.master, &byte, 1);
        const auto giveUp = Clock::now() + std::chrono::seconds(1);
        while (Clock::now() < giveUp) {
            {
                std::lock_guard guard(mutex);
                if (delays.size() > before) {
                    break;
                }
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    ComDispatcher::Instance().ClosePort(slot);
    std::sort(delays.begin(), delays.end());
    if (!delays.empty()) {
        state.counters["median_ms"] = delays[delays.size() / 2];
        state.counters["p95_ms"] = delays[delays.size() * 95 / 100];
        state.counters["max_ms"] = delays.back();
    }
}
BENCHMARK(BM_DataAvailableLatency)->Iterations(200)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
