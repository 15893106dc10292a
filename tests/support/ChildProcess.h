#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace qptest {

// A background process a test starts and stops itself (a simulated modem, a second copy
// of a tool): its standard input and output are pipes to the test, standard error goes
// to the test's own. The process is stopped (SIGTERM, then SIGKILL) when the object goes
// away, so no test leaves one behind.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (a path) with the given arguments; false with `error` set when it
    // cannot be started.
    bool Start(const std::vector<std::string>& argv, std::string* error = nullptr);

    // The next line the process writes to its standard output (without the line end), or
    // nothing when none comes within `limit` or the process closed its output.
    std::optional<std::string> ReadLine(std::chrono::milliseconds limit);
    // Reads lines until one begins with `prefix` and returns it; nothing on time-out.
    std::optional<std::string> WaitForLine(const std::string& prefix,
                                           std::chrono::milliseconds limit);
    // Every line read so far, in order.
    const std::vector<std::string>& Lines() const { return lines_; }

    // Writes `text` and a line end to the process's standard input.
    bool WriteLine(const std::string& text);
    // Closes the process's standard input (it sees end of file).
    void CloseInput();

    bool Running();
    pid_t Pid() const { return pid_; }
    // Waits up to `limit` for the process to end by itself: its exit status (0..255),
    // 128 + signal when it was killed by a signal, or nothing while it still runs.
    std::optional<int> Wait(std::chrono::milliseconds limit);
    // Ends the process: closes its input, sends SIGTERM, waits `grace`, then SIGKILL.
    // Returns the exit status as Wait does (-1 when nothing was running).
    int Stop(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));

private:
    bool FillBuffer(std::chrono::milliseconds limit);

    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    std::optional<int> exitStatus_;
    std::string pending_;
    std::vector<std::string> lines_;
};

} // namespace qptest
