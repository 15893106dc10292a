#include "faxcomm/core/PosixSerialDevice.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qpcomm {

namespace {

struct SpeedEntry {
    int baud;
    speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedForBaud(int baud, speed_t& speed) {
    for (const auto& entry : kSpeeds) {
        if (entry.baud == baud) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

int BaudForSpeed(speed_t speed) {
    for (const auto& entry : kSpeeds) {
        if (entry.speed == speed) {
            return entry.baud;
        }
    }
    return 0;
}

// How long a close waits for queued output to leave before discarding it.
constexpr int kCloseDrainMs = 250;

bool NoModemLinesError(int error) {
    return error == ENOTTY || error == EINVAL;
}

} // namespace

PosixSerialDevice::~PosixSerialDevice() {
    Close();
}

int PosixSerialDevice::OpenErrorCode(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
    case EIO:
    case ENOTTY:
    case EISDIR:
        return prBadId;
    case EBUSY:
    case EWOULDBLOCK:
        return prAlreadyOpen;
    case EACCES:
    case EPERM:
    case EROFS:
        return prAccessDenied;
    case EMFILE:
    case ENFILE:
        return prTooManyOpenFiles;
    case ENOMEM:
        return prInsufficientMemory;
    default:
        return prNotSupported;
    }
}

int PosixSerialDevice::Open(const std::string& name) {
    Close();
    const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return OpenErrorCode(errno);
    }
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        const int code = OpenErrorCode(errno);
        ::close(fd);
        return code;
    }
    // Exclusive use: flock keeps out every cooperating program (root included), TIOCEXCL
    // the others.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = OpenErrorCode(errno);
        ::close(fd);
        return code;
    }
    ::ioctl(fd, TIOCEXCL);
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    lineSpeed_ = cfgetospeed(&settings);
    if (lineSpeed_ == B0) {
        lineSpeed_ = B19200;
        cfsetspeed(&settings, lineSpeed_);
    }
    fd_ = fd;
    dtrDropped_ = false;
    int lines = 0;
    hasModemLines_ = !(::ioctl(fd_, TIOCMGET, &lines) != 0 && NoModemLinesError(errno));
    if (ApplyTermios(settings) != prOK) {
        Close();
        return prNotSupported;
    }
    return prOK;
}

// Output still queued gets a short while to leave; the rest is discarded, as otherwise
// close() would wait for it up to the driver's closing wait (30 s) while the modem holds
// CTS low. (A pty has no queue of its own: there the far end's unread input is purged.)
void PosixSerialDevice::Close() {
    if (fd_ >= 0) {
        for (int waited = 0; waited < kCloseDrainMs && OutputQueued() > 0; waited += 10) {
            ::usleep(10 * 1000);
        }
        ::tcflush(fd_, TCIOFLUSH);
        ::ioctl(fd_, TIOCNXCL);
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

int PosixSerialDevice::ApplyTermios(const termios& settings) {
    if (::tcsetattr(fd_, TCSANOW, &settings) != 0) {
        return prNotSupported;
    }
    return prOK;
}

int PosixSerialDevice::SetLine(const LineSettings& line) {
    termios settings{};
    if (fd_ < 0 || ::tcgetattr(fd_, &settings) != 0) {
        return prNotSupported;
    }
    speed_t speed = B0;
    if (!SpeedForBaud(line.baud, speed) || line.dataBits < 5 || line.dataBits > 8 ||
        line.parity < pvNone || line.parity > pvSpace || line.stopBits < 1 || line.stopBits > 2) {
        return prNotSupported;
    }
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    settings.c_cflag |= sizes[line.dataBits - 5];
    switch (line.parity) {
    case pvOdd:
        settings.c_cflag |= PARENB | PARODD;
        break;
    case pvEven:
        settings.c_cflag |= PARENB;
        break;
    case pvMark:
        settings.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case pvSpace:
        settings.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    // Two stop bits; with 5 data bits the UART makes that one and a half.
    if (line.stopBits == 2) {
        settings.c_cflag |= CSTOPB;
    }
    lineSpeed_ = speed;
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, dtrDropped_ ? B0 : speed);
    return ApplyTermios(settings);
}

LineSettings PosixSerialDevice::GetLine() const {
    LineSettings line;
    termios settings{};
    if (fd_ < 0 || ::tcgetattr(fd_, &settings) != 0) {
        return line;
    }
    line.baud = BaudForSpeed(lineSpeed_);
    switch (settings.c_cflag & CSIZE) {
    case CS5:
        line.dataBits = 5;
        break;
    case CS6:
        line.dataBits = 6;
        break;
    case CS7:
        line.dataBits = 7;
        break;
    default:
        line.dataBits = 8;
        break;
    }
    if (!(settings.c_cflag & PARENB)) {
        line.parity = pvNone;
    } else if (settings.c_cflag & CMSPAR) {
        line.parity = (settings.c_cflag & PARODD) ? pvMark : pvSpace;
    } else {
        line.parity = (settings.c_cflag & PARODD) ? pvOdd : pvEven;
    }
    line.stopBits = (settings.c_cflag & CSTOPB) ? 2 : 1;
    return line;
}

long PosixSerialDevice::Read(std::uint8_t* buffer, std::size_t size) {
    const ssize_t count = ::read(fd_, buffer, size);
    if (count >= 0) {
        return count;
    }
    if (errno == EAGAIN || errno == EINTR) {
        return 0;
    }
    return prGetBlockFail;
}

long PosixSerialDevice::Write(const std::uint8_t* data, std::size_t length) {
    const ssize_t count = ::write(fd_, data, length);
    if (count >= 0) {
        return count;
    }
    if (errno == EAGAIN || errno == EINTR) {
        return 0;
    }
    return prPutBlockFail;
}

// What the driver still holds for transmission. A pty reports 0: there "sent" means that
// the bytes have left our buffers, not that the far end has read them.
std::size_t PosixSerialDevice::OutputQueued() const {
    int queued = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued < 0) {
        return 0;
    }
    return static_cast<std::size_t>(queued);
}

int PosixSerialDevice::FlushInput() {
    return ::tcflush(fd_, TCIFLUSH) == 0 ? prOK : prNotSupported;
}

int PosixSerialDevice::FlushOutput() {
    return ::tcflush(fd_, TCOFLUSH) == 0 ? prOK : prNotSupported;
}

int PosixSerialDevice::SetModemLine(int line, bool on) {
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0) {
        return prOK;
    }
    return NoModemLinesError(errno) ? prOK : prNotSupported;
}

int PosixSerialDevice::SetDTR(bool on) {
    if (fd_ < 0) {
        return prNotSupported;
    }
    if (hasModemLines_) {
        return SetModemLine(TIOCM_DTR, on);
    }
    // No modem lines: hang-up the POSIX way, by an output speed of 0.
    termios settings{};
    if (::tcgetattr(fd_, &settings) != 0) {
        return prNotSupported;
    }
    dtrDropped_ = !on;
    // The input speed first: setting it also sets the output speed.
    cfsetispeed(&settings, lineSpeed_);
    cfsetospeed(&settings, on ? lineSpeed_ : B0);
    return ApplyTermios(settings);
}

int PosixSerialDevice::SetRTS(bool on) {
    if (fd_ < 0) {
        return prNotSupported;
    }
    return hasModemLines_ ? SetModemLine(TIOCM_RTS, on) : prOK;
}

std::uint8_t PosixSerialDevice::ModemLines() {
    if (!hasModemLines_) {
        return mslCTS | mslDSR;
    }
    int lines = 0;
    if (::ioctl(fd_, TIOCMGET, &lines) != 0) {
        return 0;
    }
    std::uint8_t status = 0;
    status |= (lines & TIOCM_CTS) ? mslCTS : 0;
    status |= (lines & TIOCM_DSR) ? mslDSR : 0;
    status |= (lines & TIOCM_RI) ? mslRI : 0;
    status |= (lines & TIOCM_CD) ? mslDCD : 0;
    return status;
}

std::array<std::uint32_t, 4> PosixSerialDevice::LineErrorCounts() {
    serial_icounter_struct counts{};
    if (!hasModemLines_ || ::ioctl(fd_, TIOCGICOUNT, &counts) != 0) {
        return {};
    }
    return {static_cast<std::uint32_t>(counts.overrun + counts.buf_overrun),
            static_cast<std::uint32_t>(counts.parity), static_cast<std::uint32_t>(counts.frame),
            static_cast<std::uint32_t>(counts.brk)};
}

int PosixSerialDevice::SetFlow(int hwOptions, int swOptions, std::uint8_t xonChar,
                               std::uint8_t xoffChar) {
    termios settings{};
    if (fd_ < 0 || ::tcgetattr(fd_, &settings) != 0) {
        return prNotSupported;
    }
    settings.c_cflag &= ~CRTSCTS;
    if (hwOptions & (hwfUseRTS | hwfRequireCTS)) {
        settings.c_cflag |= CRTSCTS;
    }
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (swOptions & swfReceive) {
        settings.c_iflag |= IXOFF;
    }
    if (swOptions & swfTransmit) {
        settings.c_iflag |= IXON;
    }
    settings.c_cc[VSTART] = xonChar;
    settings.c_cc[VSTOP] = xoffChar;
    return ApplyTermios(settings);
}

} // namespace qpcomm
