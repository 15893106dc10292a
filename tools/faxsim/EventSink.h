#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace faxsim {

// Where the simulator reports what happens: one machine-readable line per event (the
// grammar is in README.md).
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void Event(const std::string& line) = 0;
};

// Writes each event line to a stdio stream and flushes it at once.
class StreamEventSink final : public EventSink {
public:
    explicit StreamEventSink(std::FILE* stream) : stream_(stream) {}
    void Event(const std::string& line) override;

private:
    std::FILE* stream_;
};

// A value in double quotes with '"', '\' and control characters escaped, for free text
// such as station IDs.
std::string Quoted(const std::string& text);
// Bytes as lower-case hexadecimal without separators ("ff1383").
std::string Hex(const std::vector<std::uint8_t>& bytes);
// A command line as printable text (control characters as \xNN).
std::string Printable(const std::string& text);

} // namespace faxsim
