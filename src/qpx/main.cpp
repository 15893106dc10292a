// qpx: the command-line companion of Quillpost. It exposes the engines for scripting,
// support and tests: "qpx SUBCOMMAND ARGS...".
#include "QpxBuiltins.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct QpxCommand {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
    const char* summary;
};

} // namespace

// The registered subcommands' functions are defined in their subsystems' libraries, so
// their declarations must stay outside the anonymous namespace.
#include "qpx/QpxCommands.inc"

namespace {

const QpxCommand kBuiltinCommands[] = {
    {"error", &QpxError, "print the text of error codes: qpx error CODE..."},
    {"paths", &QpxPaths, "print where the program keeps and finds its files"},
    {"version", &QpxVersion, "print the version"},
};

void PrintUsage(std::ostream& out) {
    out << "usage: qpx [--version] SUBCOMMAND [ARGS...]\n"
           "       qpx help [SUBCOMMAND]\n\nsubcommands:\n";
    for (const auto& command : kBuiltinCommands) {
        out << "  " << command.name << "  " << command.summary << "\n";
    }
    for (const QpxCommand* command = kRegisteredCommands; command->name; ++command) {
        out << "  " << command->name << "  " << command->summary << "\n";
    }
}

const QpxCommand* FindCommand(const std::string& name) {
    for (const auto& command : kBuiltinCommands) {
        if (name == command.name) {
            return &command;
        }
    }
    for (const QpxCommand* command = kRegisteredCommands; command->name; ++command) {
        if (name == command->name) {
            return command;
        }
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(std::cerr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "help" && argc == 3) {
        // A subcommand's own usage: what it prints for --help.
        const QpxCommand* command = FindCommand(argv[2]);
        if (!command) {
            std::cerr << "qpx: unknown subcommand '" << argv[2] << "'\n";
            return 2;
        }
        return command->run({"--help"});
    }
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(std::cout);
        return argc == 2 ? 0 : 2;
    }
    if (name == "--version") {
        return QpxVersion({});
    }
    const QpxCommand* command = FindCommand(name);
    if (!command) {
        std::cerr << "qpx: unknown subcommand '" << name << "'\n";
        PrintUsage(std::cerr);
        return 2;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    try {
        return command->run(args);
    } catch (const std::exception& error) {
        std::cerr << "qpx " << name << ": " << error.what() << "\n";
        return 1;
    }
}
