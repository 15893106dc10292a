#include "faxcomm/core/FaxParameters.h"

#include <cctype>

namespace qpfax {

namespace {

char CharAt(const std::string& text, std::size_t position) {
    return position >= 1 && position <= text.size() ? text[position - 1] : '\0';
}

int RateFromCode(char code) {
    switch (code) {
    case '0':
        return 2400;
    case '1':
        return 4800;
    case '2':
        return 7200;
    case '4':
        return 12000;
    case '5':
        return 14400;
    default:
        return 9600;
    }
}

} // namespace

FaxParameters FaxParameters::Parse(const std::string& afterPrefix) {
    std::string list = afterPrefix;
    const std::size_t separator = list.find_first_of(":=");
    if (separator != std::string::npos) {
        list.erase(0, separator + 1);
    }
    while (!list.empty() && list.front() == ' ') {
        list.erase(0, 1);
    }
    FaxParameters p;
    p.highResolution = CharAt(list, 1) == '1';
    p.bitRate = RateFromCode(CharAt(list, 3));
    p.wide = CharAt(list, 5) == '1';
    const char ec = CharAt(list, 11);
    p.errorCorrection = ec == '1' || ec == '2';
    const char st = CharAt(list, 15);
    p.scanTimeCode = st >= '0' && st <= '7' ? st - '0' : 0;
    return p;
}

int FaxParameters::MinimumLineMs() const {
    switch (scanTimeCode) {
    case 1:
        return 5;
    case 2:
        return highResolution ? 5 : 10;
    case 3:
        return 10;
    case 4:
        return highResolution ? 10 : 20;
    case 5:
        return 20;
    case 6:
        return highResolution ? 20 : 40;
    case 7:
        return 40;
    default:
        return 0;
    }
}

char BitRateCode(int bitsPerSecond) {
    switch (bitsPerSecond) {
    case 2400:
        return '0';
    case 4800:
        return '1';
    case 7200:
        return '2';
    case 12000:
        return '4';
    case 14400:
        return '5';
    default:
        return '3';
    }
}

std::string ParseStationId(const std::string& afterPrefix) {
    std::string id = afterPrefix;
    const std::size_t separator = id.find_first_of(":=");
    if (separator != std::string::npos) {
        id.erase(0, separator + 1);
    }
    std::size_t start = 0;
    while (start < id.size() && (id[start] == ' ' || id[start] == '"')) {
        ++start;
    }
    id.erase(0, start);
    while (!id.empty() && !std::isalnum(static_cast<unsigned char>(id.back()))) {
        id.pop_back();
    }
    if (id.size() > 20) {
        id.resize(20);
    }
    return id;
}

} // namespace qpfax
