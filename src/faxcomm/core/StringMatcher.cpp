#include "faxcomm/core/StringMatcher.h"

#include <algorithm>
#include <cctype>

namespace qpcomm {

namespace {

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

} // namespace

StringMatcher::StringMatcher(const std::string& text, bool ignoreCase)
    : text_(text), ignoreCase_(ignoreCase) {
    if (ignoreCase_) {
        std::transform(text_.begin(), text_.end(), text_.begin(), Upper);
    }
}

bool StringMatcher::Feed(char byte) {
    if (text_.empty()) {
        return true;
    }
    const char compared = ignoreCase_ ? Upper(byte) : byte;
    if (compared == text_[matched_]) {
        if (++matched_ == text_.size()) {
            matched_ = 0;
            return true;
        }
        return false;
    }
    matched_ = compared == text_[0] ? 1 : 0;
    if (matched_ == text_.size()) {
        matched_ = 0;
        return true;
    }
    return false;
}

} // namespace qpcomm
