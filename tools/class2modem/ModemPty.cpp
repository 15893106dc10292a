#include "ModemPty.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

ModemPty::~ModemPty() {
    Close();
}

bool ModemPty::Open(const std::string& link, std::string& error) {
    Close();
    char name[PATH_MAX] = {};
    termios raw{};
    cfmakeraw(&raw);
    cfsetspeed(&raw, B19200);
    if (::openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    slavePath_ = name;
    if (!link.empty()) {
        struct stat info {};
        if (::lstat(link.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
            error = link + " exists and is not a symbolic link";
            Close();
            return false;
        }
        const std::string temporary = link + ".new";
        ::unlink(temporary.c_str());
        if (::symlink(slavePath_.c_str(), temporary.c_str()) != 0 ||
            ::rename(temporary.c_str(), link.c_str()) != 0) {
            error = "cannot link " + link + ": " + std::strerror(errno);
            ::unlink(temporary.c_str());
            Close();
            return false;
        }
        link_ = link;
    }
    return true;
}

void ModemPty::Close() {
    if (!link_.empty()) {
        char target[PATH_MAX] = {};
        const ssize_t length = ::readlink(link_.c_str(), target, sizeof target - 1);
        if (length > 0 && slavePath_ == std::string(target, static_cast<std::size_t>(length))) {
            ::unlink(link_.c_str());
        }
        link_.clear();
    }
    if (slave_ >= 0) {
        HoldComputer(false);
        ::close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    slavePath_.clear();
}

long ModemPty::Read(std::uint8_t* buffer, std::size_t size) {
    const ssize_t count = ::read(master_, buffer, size);
    if (count > 0) {
        return count;
    }
    if (count < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
        return -1;
    }
    return 0;
}

long ModemPty::Write(const char* data, std::size_t size) {
    const ssize_t count = ::write(master_, data, size);
    if (count >= 0) {
        return count;
    }
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

void ModemPty::HoldComputer(bool hold) {
    // Stopping is repeated while it holds: an XON byte reaching a computer that uses
    // XON/XOFF itself would restart its output.
    if (slave_ < 0 || (!hold && !holding_)) {
        return;
    }
    if (::tcflow(slave_, hold ? TCOOFF : TCOON) == 0) {
        holding_ = hold;
    }
}

bool ModemPty::DtrOn() const {
    termios settings{};
    return slave_ < 0 || ::tcgetattr(slave_, &settings) != 0 || cfgetospeed(&settings) != B0;
}
