#include "FaxParameters.h"

#include <algorithm>
#include <cctype>

namespace {

// Highest value each field accepts.
constexpr std::array<int, FaxParameters::Count> Highest{1, 5, 2, 2, 3, 2, 1, 7, 1};

std::optional<int> ParseField(const std::string& text, bool hex) {
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : hex && std::isxdigit(static_cast<unsigned char>(c))
                              ? std::toupper(static_cast<unsigned char>(c)) - 'A' + 10
                              : -1;
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * (hex ? 16 : 10) + digit;
    }
    return value;
}

} // namespace

bool FaxParameters::Apply(const std::string& list, bool class20) {
    const bool hex = class20;
    const std::size_t fields = class20 ? Count : Count - 1;
    std::array<int, Count> result = values;
    std::size_t field = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = list.find(',', start);
        std::string text =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
        if (field >= fields) {
            return false;
        }
        if (!text.empty()) {
            const auto value = ParseField(text, hex);
            if (!value || *value > Highest[field]) {
                return false;
            }
            result[field] = *value;
        }
        ++field;
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    values = result;
    return true;
}

std::string FaxParameters::Format(bool class20) const {
    std::string text;
    const int fields = class20 ? Count : Count - 1;
    for (int i = 0; i < fields; ++i) {
        if (i > 0) {
            text += ',';
        }
        text += std::to_string(values[i]);
    }
    return text;
}

std::string FaxParameters::Ranges(bool class20) {
    std::string text = "(0,1),(0-5),(0-2),(0-2),(0-3),(0-2),(0,1),(0-7)";
    return class20 ? text + ",(0,1)" : text;
}

FaxParameters FaxParameters::Negotiate(const FaxParameters& wanted, const FaxParameters& offered) {
    FaxParameters result;
    for (int i = 0; i < Count; ++i) {
        result.values[i] = std::min(wanted.values[i], offered.values[i]);
    }
    // Only one-dimensional coding without error correction is emulated.
    result.values[Df] = 0;
    result.values[Ec] = 0;
    result.values[Bf] = 0;
    // The receiver's scan time is the one that holds.
    result.values[St] = offered.values[St];
    return result;
}

int FaxParameters::BitsPerSecond(int rateCode) {
    static constexpr int Rates[] = {2400, 4800, 7200, 9600, 12000, 14400};
    return rateCode >= 0 && rateCode <= 5 ? Rates[rateCode] : 9600;
}

std::optional<int> FaxParameters::RateCode(int bitsPerSecond) {
    for (int code = 0; code <= 5; ++code) {
        if (BitsPerSecond(code) == bitsPerSecond) {
            return code;
        }
    }
    return std::nullopt;
}

int FaxParameters::PixelsPerLine(int widthCode) {
    return widthCode == 1 ? 2048 : widthCode == 2 ? 2432 : 1728;
}

int FaxParameters::MinimumScanMilliseconds(int scanCode, bool fine) {
    static constexpr int Normal[] = {0, 5, 10, 10, 20, 20, 40, 40};
    static constexpr int Fine[] = {0, 5, 5, 10, 10, 20, 20, 40};
    if (scanCode < 0 || scanCode > 7) {
        return 0;
    }
    return fine ? Fine[scanCode] : Normal[scanCode];
}
