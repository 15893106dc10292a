#include "faxcomm/core/ResponseReader.h"

#include <cctype>

namespace qpfax {

bool ResponseReader::Feed(std::uint8_t byte) {
    if (complete_) {
        Clear();
    }
    if (byte == '\r') {
        complete_ = !line_.empty();
        return complete_;
    }
    if (byte < 32) {
        return false;
    }
    line_.push_back(static_cast<char>(byte));
    if (line_.size() > MaxLine) {
        line_.erase(0, line_.size() - MaxLine);
    }
    return false;
}

std::string UpperCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

} // namespace qpfax
