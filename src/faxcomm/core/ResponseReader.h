#pragma once

#include <cstdint>
#include <string>

namespace qpfax {

// Assembles modem response lines from received bytes: bytes below 32 are dropped except
// carriage return, which ends a line that is not empty; a longer line than 128 characters
// keeps its last 128.
class ResponseReader {
public:
    static constexpr std::size_t MaxLine = 128;

    // Takes one byte; true when it completed a line (then Line() holds it until Clear()).
    bool Feed(std::uint8_t byte);
    const std::string& Line() const { return line_; }
    void Clear() {
        line_.clear();
        complete_ = false;
    }

private:
    std::string line_;
    bool complete_ = false;
};

// Upper-cases ASCII letters.
std::string UpperCase(std::string text);

} // namespace qpfax
