#include "PseudoTerminal.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace faxsim {

namespace {

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool SymlinkPointsTo(const std::string& link, const std::string& target) {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    return length >= 0 && std::string(buffer, static_cast<std::size_t>(length)) == target;
}

} // namespace

PseudoTerminal::~PseudoTerminal() {
    Close();
}

bool PseudoTerminal::Open(const std::string& linkPath, std::string* error) {
    Close();
    auto fail = [&](const std::string& message) {
        if (error) {
            *error = message;
        }
        Close();
        return false;
    };
    lockPath_ = linkPath + ".lock";
    lock_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock_ < 0) {
        lockPath_.clear();
        return fail(SystemError("cannot create " + linkPath + ".lock"));
    }
    if (::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
        ::close(lock_);
        lock_ = -1;
        lockPath_.clear(); // another simulator's
        return fail(linkPath + " is in use by another simulator");
    }
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        return fail(SystemError("cannot create a pseudo-terminal"));
    }
    char name[128];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        return fail(SystemError("cannot prepare the pseudo-terminal"));
    }
    slaveName_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        return fail(SystemError("cannot open " + slaveName_));
    }
    termios settings{};
    if (::tcgetattr(slave_, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::cfsetspeed(&settings, B115200);
        ::tcsetattr(slave_, TCSANOW, &settings);
    }

    struct stat existing {};
    if (::lstat(linkPath.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode)) {
            return fail(linkPath + " exists and is not a symlink");
        }
        ::unlink(linkPath.c_str());
    }
    if (::symlink(slaveName_.c_str(), linkPath.c_str()) != 0) {
        return fail(SystemError("cannot create " + linkPath));
    }
    linkPath_ = linkPath;
    return true;
}

void PseudoTerminal::Close() {
    if (!linkPath_.empty() && SymlinkPointsTo(linkPath_, slaveName_)) {
        ::unlink(linkPath_.c_str());
    }
    linkPath_.clear();
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    if (lock_ >= 0) {
        ::unlink(lockPath_.c_str());
        ::close(lock_);
        lock_ = -1;
    }
    lockPath_.clear();
}

ssize_t PseudoTerminal::Read(char* buffer, std::size_t size) {
    const ssize_t count = ::read(master_, buffer, size);
    if (count < 0) {
        return errno == EAGAIN || errno == EINTR || errno == EIO ? 0 : -1;
    }
    return count;
}

ssize_t PseudoTerminal::Write(const char* data, std::size_t size) {
    const ssize_t count = ::write(master_, data, size);
    if (count < 0) {
        return errno == EAGAIN || errno == EINTR ? 0 : -1;
    }
    return count;
}

bool PseudoTerminal::SpeedIsZero() const {
    termios settings{};
    if (master_ < 0 || ::tcgetattr(master_, &settings) != 0) {
        return false;
    }
    return ::cfgetospeed(&settings) == B0;
}

} // namespace faxsim
