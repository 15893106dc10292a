#include "ModemSimulator.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// Reads the decimal number at `pos`, moving past it; 0 when there is none.
int Number(const std::string& text, std::size_t& pos) {
    int value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        value = value * 10 + (text[pos++] - '0');
    }
    return value;
}

} // namespace

ModemSimulator::ModemSimulator(ModemSimOptions options)
    : options_(std::move(options)), echo_(options_.echo), random_(options_.seed) {}

ModemSimulator::~ModemSimulator() {
    Stop();
}

bool ModemSimulator::Start() {
    char name[128] = {};
    termios raw{};
    cfmakeraw(&raw);
    cfsetspeed(&raw, B19200);
    if (::openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        return false;
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    devicePath_ = name;
    thread_ = std::thread(&ModemSimulator::Run, this);
    return true;
}

void ModemSimulator::Stop() {
    if (thread_.joinable()) {
        const char byte = 1;
        [[maybe_unused]] ssize_t ignored = ::write(stopPipe_[1], &byte, 1);
        thread_.join();
    }
    for (int* fd : {&master_, &slave_, &stopPipe_[0], &stopPipe_[1]}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

std::vector<std::string> ModemSimulator::Commands() const {
    std::lock_guard guard(mutex_);
    return commands_;
}

bool ModemSimulator::DtrDropped() const {
    termios settings{};
    return ::tcgetattr(slave_, &settings) == 0 && cfgetospeed(&settings) == B0;
}

void ModemSimulator::Send(const std::string& text) {
    WriteAll(text);
}

void ModemSimulator::WriteAll(const std::string& text) {
    std::lock_guard guard(writeMutex_);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = ::write(master_, text.data() + done, text.size() - done);
        if (count > 0) {
            done += static_cast<std::size_t>(count);
        } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        } else {
            pollfd fd{master_, POLLOUT, 0};
            ::poll(&fd, 1, 50);
        }
    }
}

void ModemSimulator::Run() {
    char buffer[4096];
    while (true) {
        pollfd fds[2] = {{stopPipe_[0], POLLIN, 0}, {master_, POLLIN, 0}};
        ::poll(fds, 2, -1);
        if (fds[0].revents & POLLIN) {
            return;
        }
        const ssize_t count = ::read(master_, buffer, sizeof buffer);
        if (count > 0) {
            bytesReceived_ += static_cast<std::size_t>(count);
            if (options_.answers) {
                HandleBytes(buffer, static_cast<std::size_t>(count));
            }
        } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
            // The slave side is gone for now; wait a little rather than spin.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

void ModemSimulator::HandleBytes(const char* data, std::size_t length) {
    if (echo_) {
        WriteAll(std::string(data, length));
    }
    for (std::size_t i = 0; i < length; ++i) {
        const char c = data[i];
        if (c == '\r') {
            const std::string line = line_;
            line_.clear();
            HandleLine(line);
        } else if (c != '\n') {
            line_ += c;
        }
    }
}

void ModemSimulator::HandleLine(const std::string& line) {
    {
        std::lock_guard guard(mutex_);
        commands_.push_back(line);
    }
    const std::string upper = Upper(line);
    const auto at = upper.find("AT");
    if (at == std::string::npos) {
        return; // a modem ignores lines that do not start with AT
    }
    bool ok = true;
    finalAnswer_.clear();
    const std::string information = Execute(upper.substr(at + 2), ok);
    if (!information.empty()) {
        Answer(information);
    }
    Answer(!finalAnswer_.empty() ? finalAnswer_ : Word(ok ? "OK" : "ERROR"));
}

void ModemSimulator::Reset() {
    echo_ = options_.echo;
    fclass_ = "0";
}

// Runs the commands after "AT"; returns the information text they produce.
std::string ModemSimulator::Execute(const std::string& commands, bool& ok) {
    std::string information;
    std::size_t pos = 0;
    while (pos < commands.size() && ok) {
        const char command = commands[pos++];
        switch (command) {
        case ' ':
            break;
        case 'E':
            echo_ = Number(commands, pos) != 0;
            break;
        case 'Z':
            Number(commands, pos);
            Reset();
            break;
        case '&':
            if (pos < commands.size() && commands[pos] == 'F') {
                ++pos;
                Number(commands, pos);
                Reset();
            } else {
                ++pos;
                Number(commands, pos);
            }
            break;
        case 'I':
            Number(commands, pos);
            information = "Quillpost modem simulator";
            break;
        case 'S':
            Number(commands, pos);
            if (pos < commands.size() && commands[pos] == '=') {
                ++pos;
                Number(commands, pos);
            } else if (pos < commands.size() && commands[pos] == '?') {
                ++pos;
                information = "000";
            }
            break;
        case 'D':
            // Nobody to call on this line.
            finalAnswer_ = Word("NO DIALTONE");
            return information;
        case '+': {
            const std::string rest = commands.substr(pos);
            if (rest.rfind("FCLASS=?", 0) == 0) {
                information = options_.classes;
                pos += 8;
            } else if (rest.rfind("FCLASS?", 0) == 0) {
                information = fclass_;
                pos += 7;
            } else if (rest.rfind("FCLASS=", 0) == 0) {
                std::size_t end = rest.find(';');
                const std::string value = rest.substr(7, end == std::string::npos ? end : end - 7);
                const std::string list = "," + options_.classes + ",";
                ok = list.find("," + value + ",") != std::string::npos;
                fclass_ = ok ? value : fclass_;
                pos = end == std::string::npos ? commands.size() : pos + end + 1;
            } else {
                ok = false;
            }
            break;
        }
        default:
            if (std::isalpha(static_cast<unsigned char>(command))) {
                Number(commands, pos); // V1, Q0, X4, H0, M1 ... accepted
            } else {
                ok = false;
            }
            break;
        }
    }
    return information;
}

std::string ModemSimulator::Word(const std::string& word) const {
    return options_.lowerCase ? Lower(word) : word;
}

void ModemSimulator::Answer(const std::string& text) {
    ++answerCount_;
    if (options_.dropEvery > 0 && answerCount_ % options_.dropEvery == 0) {
        return;
    }
    if (options_.delayMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(options_.delayMs));
    }
    std::string noise;
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < options_.noiseBytes; ++i) {
        noise += static_cast<char>(byte(random_));
    }
    WriteAll(noise + "\r\n" + text + "\r\n");
}
