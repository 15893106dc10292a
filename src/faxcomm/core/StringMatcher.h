#pragma once

#include <cstddef>
#include <string>

namespace qpcomm {

// Watches received bytes for a text, as waiting for a modem's answer does: each byte is
// compared with the next character of the text (both upper-cased when ignoring case); a
// mismatch restarts the match, at the second character when the byte equals the text's
// first character, else at the first.
class StringMatcher {
public:
    StringMatcher(const std::string& text, bool ignoreCase);

    // True when `byte` completes the text.
    bool Feed(char byte);
    bool Empty() const { return text_.empty(); }

private:
    std::string text_;
    bool ignoreCase_;
    std::size_t matched_ = 0;
};

} // namespace qpcomm
