#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestPaths.h"

// The class2modem program started by a test: a scratch folder for its link and files,
// fast protocol delays unless the test asks otherwise, and its event lines.
class Emulator {
public:
    explicit Emulator(const std::string& name = "modem");
    ~Emulator();

    // Starts the program with `args` after --link and --delays fast; waits for "ready".
    bool Start(const std::vector<std::string>& args);
    const std::string& Device() const { return link_; }
    std::string File(const std::string& name) const { return dir_.file(name); }
    qptest::ChildProcess& Process() { return process_; }

    // The next event line starting with `prefix`, read in order: lines before it are
    // passed over, each line is found once.
    std::optional<std::string> Event(const std::string& prefix,
                                     std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Every event line read so far that starts with `prefix`.
    std::vector<std::string> EventsSoFar(const std::string& prefix) const;
    bool Send(const std::string& line) { return process_.WriteLine(line); }

    static std::string Program();

private:
    qptest::ScratchDir dir_;
    std::string link_;
    qptest::ChildProcess process_;
    std::size_t cursor_ = 0;
};

// The value of "key=value" in an event line, or empty.
std::string EventValue(const std::string& line, const std::string& key);
