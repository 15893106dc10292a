#include "PtyPair.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <thread>
#include <unistd.h>

PtyPair::PtyPair() {
    char name[128] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    slaveName_ = name;
}

PtyPair::~PtyPair() {
    CloseMaster();
    ::close(slave_);
}

void PtyPair::CloseMaster() {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

void PtyPair::Write(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = ::write(master_, text.data() + done, text.size() - done);
        if (count > 0) {
            done += static_cast<std::size_t>(count);
        } else {
            pollfd fd{master_, POLLOUT, 0};
            ::poll(&fd, 1, 50);
        }
    }
}

std::string PtyPair::Read(std::size_t count, std::chrono::milliseconds limit) {
    std::string result;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (result.size() < count && std::chrono::steady_clock::now() < end) {
        char buffer[4096];
        const ssize_t got = ::read(master_, buffer, std::min(sizeof buffer, count - result.size()));
        if (got > 0) {
            result.append(buffer, static_cast<std::size_t>(got));
        } else {
            pollfd fd{master_, POLLIN, 0};
            ::poll(&fd, 1, 10);
        }
    }
    return result;
}

std::string PtyPair::ReadFor(std::chrono::milliseconds limit) {
    return Read(static_cast<std::size_t>(-1) / 2, limit);
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
