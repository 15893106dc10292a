#include "Emulator.h"

Emulator::Emulator(const std::string& name) : dir_(name), link_(dir_.file("ttyFAX")) {}

Emulator::~Emulator() {
    process_.Stop();
}

std::string Emulator::Program() {
    return (qptest::BinaryDir() / "bin" / "class2modem").string();
}

bool Emulator::Start(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {Program(), "--link", link_, "--delays", "fast"};
    argv.insert(argv.end(), args.begin(), args.end());
    if (!process_.Start(argv)) {
        return false;
    }
    const auto ready = process_.WaitForLine("ready ", std::chrono::seconds(10));
    return ready && *ready == "ready " + link_;
}

std::optional<std::string> Emulator::Event(const std::string& prefix,
                                           std::chrono::milliseconds limit) {
    const std::vector<std::string>& lines = process_.Lines();
    for (std::size_t i = cursor_; i < lines.size(); ++i) {
        if (lines[i].rfind(prefix, 0) == 0) {
            cursor_ = i + 1;
            return lines[i];
        }
    }
    cursor_ = lines.size();
    auto line = process_.WaitForLine(prefix, limit);
    cursor_ = process_.Lines().size();
    return line;
}

std::vector<std::string> Emulator::EventsSoFar(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : process_.Lines()) {
        if (line.rfind(prefix, 0) == 0) {
            found.push_back(line);
        }
    }
    return found;
}

std::string EventValue(const std::string& line, const std::string& key) {
    const std::string needle = " " + key + "=";
    const std::size_t at = line.find(needle);
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t start = at + needle.size();
    return line.substr(start, line.find(' ', start) - start);
}
