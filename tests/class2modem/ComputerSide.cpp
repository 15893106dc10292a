#include "ComputerSide.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

ComputerSide::~ComputerSide() {
    Close();
}

bool ComputerSide::Open(const std::string& device) {
    Close();
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        return false;
    }
    termios settings{};
    ::tcgetattr(fd_, &settings);
    cfmakeraw(&settings);
    cfsetspeed(&settings, B19200);
    ::tcsetattr(fd_, TCSANOW, &settings);
    return true;
}

void ComputerSide::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    buffer_.clear();
}

bool ComputerSide::Write(const std::string& bytes, std::chrono::milliseconds limit) {
    return Write(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), limit);
}

bool ComputerSide::Write(const std::vector<std::uint8_t>& bytes, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (count > 0) {
            done += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        if (Clock::now() > deadline) {
            return false;
        }
        pollfd fd{fd_, POLLOUT, 0};
        ::poll(&fd, 1, 10);
    }
    return true;
}

long ComputerSide::TryWrite(const std::vector<std::uint8_t>& bytes) {
    const ssize_t count = ::write(fd_, bytes.data(), bytes.size());
    return count < 0 ? 0 : count;
}

void ComputerSide::Command(const std::string& text) {
    Write(text + "\r");
}

bool ComputerSide::Fill(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd fd{fd_, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(std::max<long>(0, left.count()))) <= 0) {
        return false;
    }
    char chunk[4096];
    const ssize_t count = ::read(fd_, chunk, sizeof chunk);
    if (count <= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return Clock::now() < deadline;
    }
    buffer_.append(chunk, static_cast<std::size_t>(count));
    received_.append(chunk, static_cast<std::size_t>(count));
    return true;
}

std::optional<std::string> ComputerSide::Line(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (true) {
        // Drop line ends and keep control bytes in front of the next line.
        std::size_t start = 0;
        while (start < buffer_.size() && static_cast<unsigned char>(buffer_[start]) < 32) {
            if (buffer_[start] != '\r' && buffer_[start] != '\n') {
                control_ += buffer_[start];
            }
            ++start;
        }
        buffer_.erase(0, start);
        const std::size_t end = buffer_.find_first_of("\r\n");
        if (end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            // The line end goes with the line: page data may follow CONNECT at once.
            std::size_t next = end + 1;
            if (buffer_[end] == '\r' && next < buffer_.size() && buffer_[next] == '\n') {
                ++next;
            }
            buffer_.erase(0, next);
            return line;
        }
        if (!Fill(deadline)) {
            return std::nullopt;
        }
    }
}

bool ComputerSide::AwaitControl(char byte, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (true) {
        std::size_t start = 0;
        while (start < buffer_.size() && static_cast<unsigned char>(buffer_[start]) < 32) {
            if (buffer_[start] != '\r' && buffer_[start] != '\n') {
                control_ += buffer_[start];
            }
            ++start;
        }
        buffer_.erase(0, start);
        if (control_.find(byte) != std::string::npos) {
            return true;
        }
        if (!Fill(deadline)) {
            return false;
        }
    }
}

bool ComputerSide::IsFinalResult(const std::string& line) {
    std::string upper = line;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    for (const char* word :
         {"OK", "ERROR", "CONNECT", "NO CARRIER", "BUSY", "NO DIALTONE", "VOICE", "NO ANSWER"}) {
        if (upper == word) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> ComputerSide::Lines(std::chrono::milliseconds limit) {
    std::vector<std::string> lines;
    const auto deadline = Clock::now() + limit;
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        auto line = Line(std::max(left, std::chrono::milliseconds(0)));
        if (!line) {
            lines.push_back("<time-out>");
            return lines;
        }
        lines.push_back(*line);
        if (IsFinalResult(*line)) {
            return lines;
        }
    }
}

std::vector<std::string> ComputerSide::Exchange(const std::string& command,
                                                std::chrono::milliseconds limit) {
    Command(command);
    return Lines(limit);
}

std::optional<std::vector<std::uint8_t>> ComputerSide::PageData(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    std::vector<std::uint8_t> data;
    std::size_t pos = 0;
    while (true) {
        while (pos < buffer_.size()) {
            const auto byte = static_cast<std::uint8_t>(buffer_[pos]);
            if (byte != 0x10) {
                data.push_back(byte);
                ++pos;
                continue;
            }
            if (pos + 1 >= buffer_.size()) {
                break;
            }
            const auto next = static_cast<std::uint8_t>(buffer_[pos + 1]);
            pos += 2;
            if (next == 0x03) {
                buffer_.erase(0, pos);
                return data;
            }
            if (next == 0x10) {
                data.push_back(0x10);
            }
        }
        buffer_.erase(0, pos);
        pos = 0;
        if (!Fill(deadline)) {
            return std::nullopt;
        }
    }
}

bool ComputerSide::Quiet(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Fill(deadline)) {
    }
    return std::all_of(buffer_.begin(), buffer_.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 32; });
}

void ComputerSide::Flush(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Fill(deadline)) {
    }
    buffer_.clear();
}

void ComputerSide::DropDtr(bool dropped) {
    termios settings{};
    ::tcgetattr(fd_, &settings);
    // Input speed first: glibc's cfsetispeed writes the speed bits that hold the output
    // speed too, and would undo B0.
    cfsetispeed(&settings, B19200);
    cfsetospeed(&settings, dropped ? B0 : B19200);
    ::tcsetattr(fd_, TCSANOW, &settings);
}
