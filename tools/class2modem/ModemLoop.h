#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "ModemOptions.h"
#include "ModemPty.h"

class Class2Modem;

// Runs an emulated modem on a pseudo-terminal in a thread of its own: reads the
// computer's bytes, paces the modem, writes its output, plays hardware flow control and
// watches DTR. Operator commands ("ring", "call FILE.tif,...", "quit") are posted from any
// thread; events go to the sink on the loop's thread.
class ModemLoop {
public:
    using EventSink = std::function<void(const std::string&)>;

    ModemLoop(ModemOptions options, EventSink events);
    ~ModemLoop();
    ModemLoop(const ModemLoop&) = delete;
    ModemLoop& operator=(const ModemLoop&) = delete;

    // Checks the options, makes the pseudo-terminal and starts the thread; false with
    // `error` set on failure.
    bool Start(std::string& error);
    // Stops the thread and removes the pseudo-terminal and link. Safe to call twice.
    void Stop();
    // Queues an operator command; "quit" ends the loop (Finished() becomes true).
    void Post(const std::string& command);
    bool Finished() const { return finished_.load(); }
    // The device the computer opens (the link, or the slave's name).
    std::string DevicePath() const { return pty_.DevicePath(); }

private:
    void Run();
    void Loop();
    void HandleCommand(const std::string& command);
    void Wake();

    ModemOptions options_;
    EventSink events_;
    std::unique_ptr<Class2Modem> modem_;
    ModemPty pty_;
    std::thread thread_;
    int wakePipe_[2] = {-1, -1};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> finished_{false};
    std::mutex mutex_;
    std::deque<std::string> posted_;
};
