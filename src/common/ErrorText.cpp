#include "common/ErrorText.h"

#include "common/StringTable.h"

#include <cstdlib>

namespace qp {

int ErrorResourceId(int code) {
    const int magnitude = std::abs(code);
    if (magnitude >= 100 && magnitude <= 199) {
        return 11800 + magnitude;
    }
    if (magnitude >= 13801 && magnitude <= 13900) {
        return magnitude;
    }
    return 11000 + magnitude % 1000 + 100 * (magnitude / 1000);
}

static std::string Clip(std::string text) {
    if (text.size() > MaxErrorTextLength) {
        text.resize(MaxErrorTextLength);
    }
    return text;
}

std::optional<std::string> ErrorText(int code) {
    auto text = ResourceString(ErrorResourceId(code));
    if (!text) {
        return std::nullopt;
    }
    return Clip(*text);
}

std::string ErrorTextOr(int code, const std::string& fallback) {
    return ErrorText(code).value_or(fallback);
}

std::optional<std::string> StatusText(int status) {
    auto text = ResourceString(13000 + status);
    if (!text) {
        return std::nullopt;
    }
    return Clip(*text);
}

} // namespace qp
