// class2modem: a Class 2 / Class 2.0 fax modem with a fax machine at the far end of its
// line, on a pseudo-terminal, for testing fax programs without hardware. Prints
// "ready PATH", then one event line per happening (README.md); reads operator commands
// from standard input until it ends, "quit", or a termination signal.
#include <cerrno>
#include <fcntl.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>

#include "ModemLoop.h"
#include "ModemOptions.h"

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

std::mutex outputMutex;

void PrintLine(const std::string& line) {
    std::lock_guard guard(outputMutex);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace

int main(int argc, char** argv) {
    // End together with the process that started us, even if it dies without a word.
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) {
        return 1;
    }
    ModemOptions options;
    std::string error;
    if (!ParseModemOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        if (error.rfind("usage:", 0) == 0) {
            std::fputs(error.c_str(), stdout);
            return 0;
        }
        std::fprintf(stderr, "class2modem: %s (--help lists the options)\n", error.c_str());
        return 2;
    }
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("class2modem: pipe");
        return 1;
    }
    InstallSignalHandlers();

    ModemLoop loop(options, PrintLine);
    if (!loop.Start(error)) {
        std::fprintf(stderr, "class2modem: %s\n", error.c_str());
        return 1;
    }
    PrintLine("ready " + loop.DevicePath());

    std::string pending;
    bool inputOpen = true;
    while (!loop.Finished()) {
        pollfd fds[2] = {{signalPipe[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const int ready = ::poll(fds, inputOpen ? 2 : 1, 100);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (fds[0].revents & POLLIN) {
            break;
        }
        if (inputOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buffer[1024];
            const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (count <= 0) {
                break; // end of standard input ends the modem
            }
            pending.append(buffer, static_cast<std::size_t>(count));
            std::size_t end = 0;
            while ((end = pending.find('\n')) != std::string::npos) {
                loop.Post(pending.substr(0, end));
                pending.erase(0, end + 1);
            }
        }
    }
    loop.Stop();
    return 0;
}
