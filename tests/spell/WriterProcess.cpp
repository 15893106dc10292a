#include "WriterProcess.h"

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestPaths.h"

namespace spelltest {

std::string WriterProcess::Program() {
    return (qptest::BinaryDir() / "bin" / "spell_list_writer").string();
}

WriterProcess::WriterProcess(const std::string& list, const std::string& wordFile,
                             const std::vector<std::string>& extra) {
    std::vector<std::string> args = {Program(), list, wordFile};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    out_ = pipeEnds[0];
    if (pid_ < 0) {
        close(out_);
        out_ = -1;
    }
}

WriterProcess::~WriterProcess() {
    if (pid_ > 0) {
        Kill();
    }
    if (out_ >= 0) {
        close(out_);
    }
}

bool WriterProcess::ReadSome(int timeoutMs) {
    if (out_ < 0) {
        return false;
    }
    pollfd ready{out_, POLLIN, 0};
    if (poll(&ready, 1, timeoutMs) <= 0) {
        return true;
    }
    char buffer[4096];
    const ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) {
        close(out_);
        out_ = -1;
        return false;
    }
    output_.append(buffer, static_cast<std::size_t>(n));
    pending_.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = pending_.find('\n')) != std::string::npos) {
        const std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (line.starts_with("added ")) {
            added_.push_back(line.substr(6));
        } else if (line.starts_with("refused ")) {
            refused_.push_back(line.substr(8));
        }
    }
    return true;
}

void WriterProcess::ReadToEnd() {
    while (ReadSome(5000)) {
    }
}

bool WriterProcess::WaitForAdds(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (added_.size() < count) {
        if (std::chrono::steady_clock::now() >= deadline || !ReadSome(10)) {
            return added_.size() >= count;
        }
    }
    return true;
}

void WriterProcess::Reap() {
    int status = 0;
    if (waitpid(pid_, &status, 0) == pid_) {
        diedFromSignal_ = WIFSIGNALED(status);
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_ = -1;
}

void WriterProcess::Kill() {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGKILL);
    Reap();
    // Lines written before the kill are still in the pipe.
    ReadToEnd();
}

int WriterProcess::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out_ >= 0 && std::chrono::steady_clock::now() < deadline) {
        ReadSome(50);
    }
    if (out_ >= 0) {
        Kill();
        return -1;
    }
    if (pid_ > 0) {
        Reap();
    }
    return exitStatus_;
}

} // namespace spelltest
