#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"

// The faxsim program as a background process of a test: started with the given options,
// ready once it has printed "ready …", stopped when the object goes away.
class FaxsimProcess {
public:
    using Ms = std::chrono::milliseconds;

    static std::string Executable();

    // Starts faxsim with `args` (which name --link) and waits for its ready line.
    bool Start(const std::vector<std::string>& args, std::string* error = nullptr);
    // Waits for the next event line beginning with `prefix`.
    std::optional<std::string> Await(const std::string& prefix, Ms limit = Ms(10000));
    // True when an event line so far (including those waiting to be read) begins with
    // `prefix`.
    bool Saw(const std::string& prefix);
    // How many event lines so far equal `line`.
    int Count(const std::string& line);
    // Reads whatever event lines arrive within `limit`.
    void Drain(Ms limit);
    // Every event line read so far, for failure messages.
    std::string Transcript() const;

    qptest::ChildProcess& Process() { return process_; }

private:
    qptest::ChildProcess process_;
};
