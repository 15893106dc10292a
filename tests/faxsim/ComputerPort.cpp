#include "ComputerPort.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr char kDle = 0x10;
constexpr char kEtx = 0x03;

std::string Stuffed(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    for (std::uint8_t byte : bytes) {
        out += static_cast<char>(byte);
        if (byte == 0x10) {
            out += kDle;
        }
    }
    return out + kDle + kEtx;
}

ComputerPort::Ms Left(Clock::time_point deadline) {
    return std::max(ComputerPort::Ms(0),
                    std::chrono::duration_cast<ComputerPort::Ms>(deadline - Clock::now()));
}

} // namespace

ComputerPort::~ComputerPort() {
    Close();
}

bool ComputerPort::Open(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        return false;
    }
    termios settings{};
    ::tcgetattr(fd_, &settings);
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, B115200);
    ::tcsetattr(fd_, TCSANOW, &settings);
    buffer_.clear();
    return true;
}

void ComputerPort::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool ComputerPort::SetSpeed(unsigned speed) {
    termios settings{};
    if (::tcgetattr(fd_, &settings) != 0) {
        return false;
    }
    ::cfsetspeed(&settings, speed == 0 ? B0 : B115200);
    return ::tcsetattr(fd_, TCSANOW, &settings) == 0;
}

void ComputerPort::Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR) {
            return;
        }
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
}

bool ComputerPort::Fill(Ms limit) {
    pollfd pfd{fd_, POLLIN, 0};
    if (::poll(&pfd, 1, static_cast<int>(limit.count())) <= 0) {
        return false;
    }
    char chunk[4096];
    const ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n <= 0) {
        return false;
    }
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return true;
}

std::optional<std::string> ComputerPort::Line(Ms limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const auto start = buffer_.find_first_not_of("\r\n");
        if (start != std::string::npos) {
            const auto end = buffer_.find_first_of("\r\n", start);
            if (end != std::string::npos) {
                std::string line = buffer_.substr(start, end - start);
                buffer_.erase(0, end + 1);
                return line;
            }
        }
        if (!Fill(Left(deadline))) {
            return std::nullopt;
        }
    }
}

bool ComputerPort::WaitForLine(const std::string& wanted, Ms limit) {
    const auto deadline = Clock::now() + limit;
    while (auto line = Line(Left(deadline))) {
        if (*line == wanted) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> ComputerPort::Command(const std::string& command, Ms limit) {
    Write(command + "\r");
    return Line(limit);
}

std::optional<std::vector<std::uint8_t>> ComputerPort::Data(Ms limit, bool frame) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        std::vector<std::uint8_t> data;
        bool dle = false;
        for (std::size_t i = 0; i < buffer_.size(); ++i) {
            const char c = buffer_[i];
            if (dle) {
                dle = false;
                if (c == kEtx) {
                    buffer_.erase(0, i + 1);
                    if (frame) {
                        const auto start = std::find(data.begin(), data.end(), 0xFF);
                        data.erase(data.begin(), start);
                    }
                    return data;
                }
                data.push_back(static_cast<std::uint8_t>(c));
            } else if (c == kDle) {
                dle = true;
            } else {
                data.push_back(static_cast<std::uint8_t>(c));
            }
        }
        if (!Fill(Left(deadline))) {
            return std::nullopt;
        }
    }
}

void ComputerPort::SendFrame(const std::vector<std::uint8_t>& frame) {
    Write(Stuffed(frame));
}

void ComputerPort::SendData(const std::vector<std::uint8_t>& data) {
    Write(Stuffed(data));
}

std::vector<std::uint8_t> IdentFrame(std::uint8_t fcf, const std::string& ident) {
    std::vector<std::uint8_t> frame = {0xFF, 0x03, fcf};
    std::string field(20, ' ');
    for (std::size_t i = 0; i < ident.size() && i < 20; ++i) {
        field[19 - i] = ident[i];
    }
    frame.insert(frame.end(), field.begin(), field.end());
    return frame;
}

std::string FrameIdent(const std::vector<std::uint8_t>& frame) {
    std::string ident;
    if (frame.size() < 23) {
        return ident;
    }
    for (std::size_t i = 23; i > 3; --i) {
        ident += static_cast<char>(frame[i - 1]);
    }
    const auto first = ident.find_first_not_of(' ');
    if (first == std::string::npos) {
        return "";
    }
    return ident.substr(first, ident.find_last_not_of(' ') - first + 1);
}
