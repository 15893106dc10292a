#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qptest {

namespace {

using Clock = std::chrono::steady_clock;

int DecodeStatus(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

ChildProcess::~ChildProcess() {
    Stop();
}

bool ChildProcess::Start(const std::vector<std::string>& argv, std::string* error) {
    if (pid_ > 0 || argv.empty()) {
        if (error) {
            *error = argv.empty() ? "no program given" : "already running";
        }
        return false;
    }
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) {
        if (error) {
            *error = std::strerror(errno);
        }
        return false;
    }
    if (::pipe2(out, O_CLOEXEC) != 0) {
        if (error) {
            *error = std::strerror(errno);
        }
        ::close(in[0]);
        ::close(in[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);

    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    if (rc != 0) {
        ::close(in[1]);
        ::close(out[0]);
        if (error) {
            *error = argv[0] + ": " + std::strerror(rc);
        }
        return false;
    }
    pid_ = pid;
    toChild_ = in[1];
    fromChild_ = out[0];
    exitStatus_.reset();
    pending_.clear();
    lines_.clear();
    return true;
}

bool ChildProcess::FillBuffer(std::chrono::milliseconds limit) {
    if (fromChild_ < 0) {
        return false;
    }
    pollfd pfd{fromChild_, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, static_cast<int>(limit.count()));
    if (ready <= 0) {
        return false;
    }
    char buffer[4096];
    const ssize_t n = ::read(fromChild_, buffer, sizeof buffer);
    if (n <= 0) {
        CloseFd(fromChild_);
        return false;
    }
    pending_.append(buffer, static_cast<std::size_t>(n));
    return true;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const auto end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines_.push_back(line);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || fromChild_ < 0) {
            return std::nullopt;
        }
        if (!FillBuffer(left) && fromChild_ < 0) {
            return std::nullopt;
        }
    }
}

std::optional<std::string> ChildProcess::WaitForLine(const std::string& prefix,
                                                     std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        std::optional<std::string> line = ReadLine(left);
        if (!line) {
            return std::nullopt;
        }
        if (line->rfind(prefix, 0) == 0) {
            return line;
        }
    }
}

bool ChildProcess::WriteLine(const std::string& text) {
    if (toChild_ < 0) {
        return false;
    }
    const std::string line = text + "\n";
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(toChild_, line.data() + done, line.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void ChildProcess::CloseInput() {
    CloseFd(toChild_);
}

bool ChildProcess::Running() {
    return pid_ > 0 && !Wait(std::chrono::milliseconds(0)).has_value();
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds limit) {
    if (exitStatus_) {
        return exitStatus_;
    }
    if (pid_ <= 0) {
        return std::nullopt;
    }
    const auto deadline = Clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            exitStatus_ = DecodeStatus(status);
            return exitStatus_;
        }
        if (done < 0 && errno != EINTR) {
            exitStatus_ = -1;
            return exitStatus_;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int ChildProcess::Stop(std::chrono::milliseconds grace) {
    if (pid_ <= 0) {
        return -1;
    }
    CloseInput();
    if (!Wait(std::chrono::milliseconds(0))) {
        ::kill(pid_, SIGTERM);
        if (!Wait(grace)) {
            ::kill(pid_, SIGKILL);
            Wait(std::chrono::milliseconds(5000));
        }
    }
    CloseFd(fromChild_);
    const int status = exitStatus_.value_or(-1);
    pid_ = -1;
    return status;
}

} // namespace qptest
