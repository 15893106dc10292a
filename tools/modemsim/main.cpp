// modemsim: a simulated AT modem on a pseudo-terminal, for trying the program and qpx
// without hardware. Prints the device name to open, then answers until stdin closes or
// the process is interrupted.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <poll.h>
#include <string>
#include <unistd.h>

#include "ModemSimulator.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnSignal(int) {
    stopRequested = 1;
}

void Usage() {
    std::cerr << "usage: modemsim [--no-echo] [--lower] [--delay MS] [--noise BYTES] [--drop N]\n"
                 "                [--seed N] [--classes LIST] [--dead] [--link PATH]\n";
}

} // namespace

int main(int argc, char** argv) {
    ModemSimOptions options;
    std::string link;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--no-echo") {
            options.echo = false;
        } else if (arg == "--lower") {
            options.lowerCase = true;
        } else if (arg == "--dead") {
            options.answers = false;
        } else if (arg == "--delay" && hasValue) {
            options.delayMs = std::atoi(argv[++i]);
        } else if (arg == "--noise" && hasValue) {
            options.noiseBytes = std::atoi(argv[++i]);
        } else if (arg == "--drop" && hasValue) {
            options.dropEvery = std::atoi(argv[++i]);
        } else if (arg == "--seed" && hasValue) {
            options.seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--classes" && hasValue) {
            options.classes = argv[++i];
        } else if (arg == "--link" && hasValue) {
            link = argv[++i];
        } else {
            Usage();
            return 2;
        }
    }
    ModemSimulator modem(options);
    if (!modem.Start()) {
        std::perror("modemsim: openpty");
        return 1;
    }
    if (!link.empty()) {
        ::unlink(link.c_str());
        if (::symlink(modem.DevicePath().c_str(), link.c_str()) != 0) {
            std::perror("modemsim: symlink");
            return 1;
        }
    }
    std::cout << modem.DevicePath() << std::endl;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    while (!stopRequested) {
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (::poll(&in, 1, 200) > 0) {
            char buffer[256];
            if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
                break;
            }
        }
    }
    if (!link.empty()) {
        ::unlink(link.c_str());
    }
    return 0;
}
