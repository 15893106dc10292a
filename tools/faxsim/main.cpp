// faxsim: a Class 1 fax modem on a pseudo-terminal, with spandsp's fax terminal (or a
// second modem) at the other end of a simulated telephone line. See README.md.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>

#include "EventSink.h"
#include "FaxSimulator.h"
#include "SimOptions.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FAXSIM_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(FAXSIM_ADDRESS_SANITIZER)
// spandsp 0.0.6's t31_free() does not free the modem's receive queue (one allocation per
// modem, made at start); LeakSanitizer builds must not fail on it.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:queue_init\n";
}
#endif

namespace {

faxsim::FaxSimulator* running = nullptr;

void OnSignal(int) {
    if (running) {
        running->RequestStop();
    }
}

void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace

int main(int argc, char** argv) {
    const pid_t parent = ::getppid();
    // End with the process that started us, even if it is killed.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) {
        return 1;
    }

    std::string error;
    bool help = false;
    const auto options =
        faxsim::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &error, &help);
    if (!options) {
        if (help) {
            std::cout << faxsim::Usage();
            return 0;
        }
        std::cerr << "faxsim: " << error << "\n" << faxsim::Usage();
        return 2;
    }

    faxsim::StreamEventSink events(stdout);
    faxsim::FaxSimulator simulator(*options, events);
    running = &simulator;
    InstallSignalHandlers();
    if (!simulator.Start(&error)) {
        std::cerr << "faxsim: " << error << "\n";
        running = nullptr;
        return 1;
    }
    const int status = simulator.Run(STDIN_FILENO);
    running = nullptr;
    return status;
}
