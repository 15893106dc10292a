#include "AtCommand.h"

#include <cctype>

namespace faxsim {

namespace {

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// An extended command such as "+FTM=96" or "+FRH=?".
AtCommand ParseExtended(const std::string& text) {
    std::string upper;
    for (char c : text) {
        if (c != ' ') {
            upper += Upper(c);
        }
    }
    AtCommand command;
    const auto equals = upper.find('=');
    if (equals == std::string::npos) {
        return command;
    }
    const std::string name = upper.substr(0, equals);
    const std::string value = upper.substr(equals + 1);
    const bool query = value == "?";
    if (name == "+FTM") {
        command.kind = query ? AtKind::QuerySendRates : AtKind::SendData;
    } else if (name == "+FRM") {
        command.kind = query ? AtKind::QueryReceiveRates : AtKind::ReceiveData;
    } else if (name == "+FTH" && !query) {
        command.kind = AtKind::SendFrames;
    } else if (name == "+FRH" && !query) {
        command.kind = AtKind::ReceiveFrames;
    } else if (name == "+FTS" && !query) {
        command.kind = AtKind::SendSilence;
    } else if (name == "+FRS" && !query) {
        command.kind = AtKind::WaitSilence;
    }
    if (command.kind != AtKind::Other && !query) {
        command.argument = value;
    }
    return command;
}

} // namespace

AtCommand AtCommand::Parse(const std::string& line) {
    AtCommand result;
    // The modem looks for "AT" anywhere at the start of the line (after "+++" for example).
    std::size_t start = std::string::npos;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        if (Upper(line[i]) == 'A' && Upper(line[i + 1]) == 'T') {
            start = i + 2;
            break;
        }
    }
    if (start == std::string::npos) {
        return result;
    }
    std::size_t i = start;
    while (i < line.size()) {
        const char c = Upper(line[i]);
        if (c == ' ' || c == ';') {
            ++i;
        } else if (c == 'D') {
            result.kind = AtKind::Dial;
            result.argument = Trim(line.substr(i + 1));
            return result;
        } else if (c == '+' || c == '#' || c == '%' || c == '\\') {
            std::size_t end = line.find(';', i);
            if (end == std::string::npos) {
                end = line.size();
            }
            AtCommand extended = ParseExtended(line.substr(i, end - i));
            if (extended.kind != AtKind::Other) {
                result = extended;
            }
            i = end;
        } else if (c == '&') {
            i += 2;
            while (i < line.size() && IsDigit(line[i])) {
                ++i;
            }
        } else if (c == 'S') {
            ++i;
            while (i < line.size() && IsDigit(line[i])) {
                ++i;
            }
            if (i < line.size() && line[i] == '?') {
                ++i;
            } else if (i < line.size() && line[i] == '=') {
                ++i;
                while (i < line.size() && IsDigit(line[i])) {
                    ++i;
                }
            }
        } else {
            ++i;
            std::string number;
            while (i < line.size() && IsDigit(line[i])) {
                number += line[i++];
            }
            if (c == 'A') {
                result = {AtKind::Answer, {}};
            } else if (c == 'H' && (number.empty() || number == "0")) {
                result = {AtKind::HangUp, {}};
            }
        }
    }
    return result;
}

bool AtCommand::ComputerWaits() const {
    switch (kind) {
    case AtKind::Dial:
    case AtKind::Answer:
    case AtKind::ReceiveFrames:
    case AtKind::ReceiveData:
    case AtKind::SendSilence:
    case AtKind::WaitSilence:
        return true;
    default:
        return false;
    }
}

} // namespace faxsim
