#include "ModemLoop.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "Class2Modem.h"

namespace {

std::vector<std::string> SplitFiles(const std::string& text) {
    std::vector<std::string> files;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(',', start);
        const std::string file = text.substr(start, end == std::string::npos ? end : end - start);
        if (!file.empty()) {
            files.push_back(file);
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return files;
}

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

ModemLoop::ModemLoop(ModemOptions options, EventSink events)
    : options_(std::move(options)), events_(std::move(events)) {}

ModemLoop::~ModemLoop() {
    Stop();
}

bool ModemLoop::Start(std::string& error) {
    modem_ = std::make_unique<Class2Modem>(options_, events_);
    if (!modem_->Prepare(error)) {
        return false;
    }
    if (::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = "cannot create a pipe";
        return false;
    }
    if (!pty_.Open(options_.link, error)) {
        return false;
    }
    thread_ = std::thread(&ModemLoop::Run, this);
    return true;
}

void ModemLoop::Stop() {
    stopping_ = true;
    if (thread_.joinable()) {
        Wake();
        thread_.join();
    }
    pty_.Close();
    for (int& fd : wakePipe_) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    finished_ = true;
}

void ModemLoop::Post(const std::string& command) {
    {
        std::lock_guard guard(mutex_);
        posted_.push_back(command);
    }
    Wake();
}

void ModemLoop::Wake() {
    if (wakePipe_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(wakePipe_[1], &byte, 1);
    }
}

void ModemLoop::HandleCommand(const std::string& text) {
    const std::string command = Trim(text);
    const std::string word = command.substr(0, command.find(' '));
    if (command.empty()) {
        return;
    }
    if (word == "quit") {
        stopping_ = true;
        finished_ = true;
        return;
    }
    if (word == "ring" || word == "call") {
        const std::string rest =
            command.size() > word.size() ? Trim(command.substr(word.size())) : std::string();
        std::string error;
        if (!modem_->StartIncomingCall(SplitFiles(rest), Class2Modem::Clock::now(), error)) {
            events_("error " + error);
        }
        return;
    }
    events_("error unknown command: " + command);
}

void ModemLoop::Run() {
    try {
        Loop();
    } catch (const std::exception& exception) {
        events_(std::string("error internal: ") + exception.what());
    }
    pty_.HoldComputer(false);
    finished_ = true;
}

void ModemLoop::Loop() {
    std::uint8_t buffer[8192];
    bool dtrOn = true;
    while (!stopping_) {
        std::deque<std::string> commands;
        {
            std::lock_guard guard(mutex_);
            commands.swap(posted_);
        }
        for (const std::string& command : commands) {
            HandleCommand(command);
        }
        if (stopping_) {
            break;
        }
        auto now = Class2Modem::Clock::now();
        const bool dtr = pty_.DtrOn();
        if (dtr != dtrOn) {
            dtrOn = dtr;
            modem_->SetDtr(dtr, now);
        }
        modem_->Advance(now);

        std::string& output = modem_->Output();
        while (!output.empty()) {
            const long written = pty_.Write(output.data(), output.size());
            if (written <= 0) {
                break;
            }
            output.erase(0, static_cast<std::size_t>(written));
        }
        pty_.HoldComputer(modem_->HoldingComputer());

        // Wake for the modem's next step, new input, room for output, or DTR polling.
        auto wait = std::chrono::milliseconds(50);
        if (const auto next = modem_->NextWake(now)) {
            wait = std::clamp(std::chrono::duration_cast<std::chrono::milliseconds>(*next - now),
                              std::chrono::milliseconds(0), wait);
        }
        pollfd fds[2] = {
            {wakePipe_[0], POLLIN, 0},
            {pty_.MasterFd(), static_cast<short>(POLLIN | (output.empty() ? 0 : POLLOUT)), 0}};
        if (!output.empty()) {
            wait = std::min(wait, std::chrono::milliseconds(10));
        }
        const int ready = ::poll(fds, 2, static_cast<int>(wait.count()));
        if (ready < 0 && errno != EINTR) {
            events_("error poll failed");
            break;
        }
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wakePipe_[0], drain, sizeof drain) > 0) {
            }
        }
        if (fds[1].revents & POLLIN) {
            now = Class2Modem::Clock::now();
            const long count = pty_.Read(buffer, sizeof buffer);
            if (count > 0) {
                modem_->Receive(buffer, static_cast<std::size_t>(count), now);
            } else if (count < 0) {
                events_("error reading the pseudo-terminal failed");
                break;
            }
        }
    }
}
