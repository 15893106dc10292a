#include "AtCommandLine.h"

#include <cctype>

namespace {

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

std::string Digits(const std::string& text, std::size_t& pos) {
    std::string digits;
    while (pos < text.size() && IsDigit(text[pos])) {
        digits += text[pos++];
    }
    return digits;
}

// "+NAME", "+NAME?", "+NAME=?", "+NAME=value"; ends after the ";" that follows it.
AtCommand ParseExtended(const std::string& text, std::size_t& pos) {
    AtCommand command;
    command.name += text[pos++];
    while (pos < text.size() && (std::isalnum(static_cast<unsigned char>(text[pos])) ||
                                 text[pos] == '.' || text[pos] == '_')) {
        command.name += Upper(text[pos++]);
    }
    if (pos < text.size() && text[pos] == '?') {
        command.op = AtCommand::Op::Read;
        ++pos;
    } else if (pos + 1 < text.size() && text[pos] == '=' && text[pos + 1] == '?') {
        command.op = AtCommand::Op::Test;
        pos += 2;
    } else if (pos < text.size() && text[pos] == '=') {
        command.op = AtCommand::Op::Set;
        ++pos;
        bool quoted = false;
        while (pos < text.size() && (quoted || text[pos] != ';')) {
            quoted = text[pos] == '"' ? !quoted : quoted;
            command.argument += text[pos++];
        }
    }
    while (pos < text.size() && text[pos] == ' ') {
        ++pos;
    }
    if (pos < text.size() && text[pos] == ';') {
        ++pos;
    }
    return command;
}

} // namespace

std::optional<std::vector<AtCommand>> ParseAtCommands(const std::string& text) {
    std::vector<AtCommand> commands;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = Upper(text[pos]);
        if (c == ' ' || c == ';') {
            ++pos;
            continue;
        }
        if (c == '+') {
            commands.push_back(ParseExtended(text, pos));
            if (commands.back().name.size() < 2) {
                return std::nullopt;
            }
            continue;
        }
        AtCommand command;
        ++pos;
        if (c == 'D') {
            command.name = "D";
            command.argument = text.substr(pos);
            commands.push_back(command);
            return commands;
        }
        if (c == 'A') {
            command.name = "A";
            commands.push_back(command);
            return commands;
        }
        if (c == '&') {
            if (pos >= text.size() || !std::isalpha(static_cast<unsigned char>(text[pos]))) {
                return std::nullopt;
            }
            command.name = std::string("&") + Upper(text[pos++]);
            command.argument = Digits(text, pos);
        } else if (c == 'S') {
            const std::string reg = Digits(text, pos);
            if (reg.empty()) {
                return std::nullopt;
            }
            command.name = "S" + std::to_string(std::stoi(reg.substr(0, 3)));
            if (pos < text.size() && text[pos] == '=') {
                ++pos;
                command.op = AtCommand::Op::Set;
                command.argument = Digits(text, pos);
            } else if (pos < text.size() && text[pos] == '?') {
                ++pos;
                command.op = AtCommand::Op::Read;
            } else {
                return std::nullopt;
            }
        } else if (std::isalpha(static_cast<unsigned char>(c))) {
            command.name = std::string(1, c);
            command.argument = Digits(text, pos);
        } else {
            return std::nullopt;
        }
        commands.push_back(command);
    }
    return commands;
}
