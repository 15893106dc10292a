#pragma once

#include <sys/types.h>

#include "common/Settings.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace qpcomm {

// The device name that stands for the built-in test line in [Ports] "Com<n>".
inline constexpr const char* TestLineDeviceName = TestLineDevice;
// What people see for that device.
inline constexpr char TestLineLabel[] = "Test line (no modem)";

// A fax line without hardware: the helper program "faxsim" runs a simulated Class 1 fax
// modem on a pseudo-terminal whose telephone line leads to a test fax machine. That
// machine answers every call and stores what it receives, one TIFF file per call; on
// request it calls back and sends a sample fax. Dialled numbers choose the outcome: a
// number ending in 0 is busy, 9 is not answered, 8 finds no dial tone, 1 to 7 ring that
// many times before the answer.
//
// The helper ends when Stop is called, when this object goes, and also when the thread
// that started it ends (so start it from a thread that lives as long as the port, such as
// the user-interface thread), since it follows its starter's death.
class TestLine {
public:
    struct Options {
        std::string helper;    // the faxsim program
        std::string link;      // where the helper puts the link to its pseudo-terminal
        std::string rxFolder;  // one TIFF per answered call
        std::string sampleFax; // pages sent when the machine calls; empty: none
        std::string remoteId = "QUILLPOST TEST";
        std::chrono::milliseconds readyTimeout{10000};
    };

    // Options for this program: the installed helper and sample fax, the "testline"
    // folder of the data folder, a fresh link name in the temporary folder.
    static Options DefaultOptions();

    TestLine() = default;
    ~TestLine();
    TestLine(const TestLine&) = delete;
    TestLine& operator=(const TestLine&) = delete;

    // Starts the helper and waits until its pseudo-terminal exists. 0, or -2001 when the
    // helper is missing or cannot make its line (with the reason in `error`).
    int Start(const Options& options, std::string* error = nullptr);
    // Ends the helper (any call first) and waits for it; removes what it left behind.
    void Stop();
    bool IsRunning() const;
    const std::string& Link() const { return options_.link; }
    pid_t HelperId() const { return child_; }

    // Makes the test machine call the computer with the sample fax. False when the line
    // is not running.
    bool Call();

    // The first event line since the last call that starts with `prefix`, waiting at most
    // `timeout` for it (events: see the faxsim README).
    std::optional<std::string> WaitForEvent(const std::string& prefix,
                                            std::chrono::milliseconds timeout);

    // Asks the most recently started line that still runs to call; false when none runs.
    static bool CallFromRunningLine();
    // True when some test line runs in this process.
    static bool AnyRunning();

private:
    bool Spawn(std::string* error);
    void ReadEvents();
    bool SendCommand(const std::string& line);
    void EndHelper();
    void RemoveLeftovers();

    Options options_;
    pid_t child_ = -1;
    int commandFd_ = -1;
    int eventFd_ = -1;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::condition_variable eventArrived_;
    std::deque<std::string> events_;
    bool helperEnded_ = false;
};

} // namespace qpcomm
