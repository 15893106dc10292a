#include "faxcomm/core/UsbModemName.h"

#include <algorithm>
#include <cctype>
#include <regex>
#include <vector>

namespace qpcomm {

namespace {

std::string DecodeEscapes(const std::string& text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            const char code = static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            decoded += std::isprint(static_cast<unsigned char>(code)) ? code : ' ';
            i += 3;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

std::string StripBusAndInterface(std::string name) {
    static const std::regex bus("^[a-z]+-");
    static const std::regex suffix("(-if[0-9a-fA-F]+)?(-port[0-9]+)?$");
    name = std::regex_replace(name, suffix, "");
    return std::regex_replace(name, bus, "");
}

bool LooksLikeSerialNumber(const std::string& word) {
    const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    const auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    return word.size() >= 6 && std::all_of(word.begin(), word.end(), isHex) &&
           std::any_of(word.begin(), word.end(), isDigit);
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text) {
        if (c == '_' || c == ' ') {
            if (!word.empty()) {
                words.push_back(word);
            }
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) {
        words.push_back(word);
    }
    return words;
}

} // namespace

std::string UsbModemName(const std::string& byIdName) {
    std::vector<std::string> words = Words(DecodeEscapes(StripBusAndInterface(byIdName)));
    if (words.size() > 1 && LooksLikeSerialNumber(words.back())) {
        words.pop_back();
    }
    std::string name;
    for (const std::string& word : words) {
        name += (name.empty() ? "" : " ") + word;
    }
    return name;
}

} // namespace qpcomm
