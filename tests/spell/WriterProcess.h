#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace spelltest {

// One running spell_list_writer (tests/spell/UserListWriter.cpp): a separate program
// adding words to a user list. Its report lines are collected as they arrive, so the
// words it confirmed are known even when it is killed.
class WriterProcess final {
public:
    // Starts the writer on `list` with the words of `wordFile`; `extra` arguments follow.
    WriterProcess(const std::string& list, const std::string& wordFile,
                  const std::vector<std::string>& extra = {});
    ~WriterProcess();
    WriterProcess(const WriterProcess&) = delete;
    WriterProcess& operator=(const WriterProcess&) = delete;

    bool Started() const { return pid_ > 0; }

    // Waits until the writer has confirmed at least `count` words; false when it ended
    // or the time ran out first.
    bool WaitForAdds(std::size_t count, std::chrono::milliseconds timeout);
    // Kills the writer with SIGKILL and collects what it reported before it died.
    void Kill();
    // Waits for the writer to end by itself (killing it after `timeout`); its exit
    // status, or -1 when it had to be killed or died from a signal.
    int Wait(std::chrono::milliseconds timeout);

    const std::vector<std::string>& Added() const { return added_; }
    const std::vector<std::string>& Refused() const { return refused_; }
    const std::string& Output() const { return output_; }
    bool DiedFromSignal() const { return diedFromSignal_; }

    // Where the writer program lies in the build tree.
    static std::string Program();

private:
    // Reads what arrived within `timeoutMs`; false at the end of the output.
    bool ReadSome(int timeoutMs);
    void ReadToEnd();
    void Reap();

    pid_t pid_ = -1;
    int out_ = -1;
    bool diedFromSignal_ = false;
    int exitStatus_ = -1;
    std::string pending_;
    std::string output_;
    std::vector<std::string> added_;
    std::vector<std::string> refused_;
};

} // namespace spelltest
