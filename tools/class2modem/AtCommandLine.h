#pragma once

#include <optional>
#include <string>
#include <vector>

// One command of an AT command line.
struct AtCommand {
    enum class Op { Execute, Set, Read, Test };
    std::string name; // upper case: "E", "S7", "&F", "D", "A", "+FCLASS"
    Op op = Op::Execute;
    std::string argument; // the number of a basic command, the value after "=" of an
                          // extended one (case kept, quotes kept), the dial string
};

// Splits the text after "AT" into commands the way modems read it: basic commands are a
// letter (or "&" and a letter) with an optional number, "S" registers take "=n" or "?",
// extended commands start with "+" and end at ";" outside double quotes, "D" takes the
// rest of the line as the dial string and "A" ends the line. Nothing when the text holds
// something that is not a command.
std::optional<std::vector<AtCommand>> ParseAtCommands(const std::string& text);
