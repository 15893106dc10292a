#pragma once

#include <chrono>
#include <functional>
#include <string>

// A pseudo-terminal pair for tests: the slave's name is the device a port opens; the test
// plays the far end on the master. One slave descriptor stays open so the master never
// sees a hang-up while the port is closed and reopened.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& SlaveName() const { return slaveName_; }
    int Master() const { return master_; }

    // Writes all of `text` to the master.
    void Write(const std::string& text);
    // Reads what the master has until `count` bytes came or `limit` passed.
    std::string Read(std::size_t count, std::chrono::milliseconds limit);
    // Reads whatever arrives within `limit`.
    std::string ReadFor(std::chrono::milliseconds limit);
    // The far end goes away (a modem unplugged): the slave side is hung up for good.
    void CloseMaster();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slaveName_;
};

// Polls `condition` until it holds or `limit` passes; returns its last value.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::milliseconds(3000));
