#include "app/TTerminationSignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace {

// The handler may only write to a pipe; the main thread reads the other end.
std::array<int, 2> signalPipe{-1, -1};

constexpr std::array<int, 3> HandledSignals{SIGTERM, SIGHUP, SIGINT};

} // namespace

TTerminationSignals::TTerminationSignals(QObject* parent) : QObject(parent) {
    if (signalPipe[0] >= 0) {
        throw std::logic_error("termination signals are already handled");
    }
    if (::pipe2(signalPipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::runtime_error("cannot create the pipe for termination signals");
    }
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    notifier_->setEnabled(false);
    connect(notifier_, &QSocketNotifier::activated, this, &TTerminationSignals::ReadPending);

    struct sigaction action {};
    action.sa_handler = &TTerminationSignals::Handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : HandledSignals) {
        sigaction(signalNumber, &action, nullptr);
    }
}

TTerminationSignals::~TTerminationSignals() {
    for (const int signalNumber : HandledSignals) {
        std::signal(signalNumber, SIG_DFL);
    }
    delete notifier_;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe = {-1, -1};
}

void TTerminationSignals::Start() {
    notifier_->setEnabled(true);
}

void TTerminationSignals::Handler(int signalNumber) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a request; nothing more to do.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

void TTerminationSignals::ReadPending() {
    unsigned char byte = 0;
    int last = 0;
    while (::read(signalPipe[0], &byte, 1) == 1) {
        last = byte;
    }
    if (last != 0) {
        emit Requested(last);
    }
}
