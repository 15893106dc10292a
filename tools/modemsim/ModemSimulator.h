#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

// How the simulated modem behaves.
struct ModemSimOptions {
    bool echo = true;                  // E1 at start (ATE0 / ATE1 change it)
    bool lowerCase = false;            // answers "ok", "error" instead of "OK", "ERROR"
    int delayMs = 0;                   // wait before each answer
    int noiseBytes = 0;                // random bytes of line noise sent before each answer
    int dropEvery = 0;                 // every n-th answer is lost (0: none)
    bool answers = true;               // false: a dead line that reads everything and says nothing
    unsigned seed = 1;                 // line noise is repeatable
    std::string classes = "0,1,2,2.0"; // the answer to AT+FCLASS=?
};

// A modem on the far side of a pseudo-terminal: it reads AT command lines from the
// master side and answers them ("OK", "ERROR", information lines), with optional echo,
// lower-case answers, delays, line noise and dropped answers. The slave side is the
// device a port opens; the simulator keeps one slave descriptor open so the master never
// reports a hang-up when the port is closed and reopened.
// Runs its own thread; the accessors may be called from any thread.
class ModemSimulator {
public:
    explicit ModemSimulator(ModemSimOptions options = {});
    ~ModemSimulator();
    ModemSimulator(const ModemSimulator&) = delete;
    ModemSimulator& operator=(const ModemSimulator&) = delete;

    // Creates the pseudo-terminal and starts answering; false when no pty can be made.
    bool Start();
    void Stop();

    // The device name of the slave side, e.g. "/dev/pts/3".
    const std::string& DevicePath() const { return devicePath_; }
    // The master side, for tests that talk to the port directly (only when not answering).
    int MasterFd() const { return master_; }

    // Command lines received so far (without the carriage return).
    std::vector<std::string> Commands() const;
    std::size_t BytesReceived() const { return bytesReceived_.load(); }
    // Sends unsolicited text (for example "\r\nRING\r\n").
    void Send(const std::string& text);
    // True when the port has dropped DTR (a pty shows it as an output speed of 0).
    bool DtrDropped() const;

private:
    void Run();
    void HandleBytes(const char* data, std::size_t length);
    void HandleLine(const std::string& line);
    std::string Execute(const std::string& commands, bool& ok);
    void Answer(const std::string& text);
    void WriteAll(const std::string& text);
    std::string Word(const std::string& word) const;
    void Reset();

    ModemSimOptions options_;
    int master_ = -1;
    int slave_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::string devicePath_;
    std::thread thread_;
    std::atomic<std::size_t> bytesReceived_{0};

    mutable std::mutex mutex_;
    std::vector<std::string> commands_;
    std::mutex writeMutex_;

    // Owned by the simulator thread.
    std::string line_;
    bool echo_ = true;
    std::string fclass_ = "0";
    std::string finalAnswer_; // replaces OK/ERROR for the current line
    int answerCount_ = 0;
    std::mt19937 random_;
};
