#include "faxcomm/core/TestLine.h"

#include "common/DataFolder.h"
#include "common/InstalledFiles.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <vector>

extern char** environ;

namespace qpcomm {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t KeptEvents = 2000;
constexpr auto HelperEndWait = std::chrono::seconds(15);

std::mutex registryLock;
std::vector<TestLine*> registry; // running lines, oldest first

void Register(TestLine* line) {
    std::lock_guard guard(registryLock);
    registry.push_back(line);
}

void Unregister(TestLine* line) {
    std::lock_guard guard(registryLock);
    registry.erase(std::remove(registry.begin(), registry.end(), line), registry.end());
}

std::string FreshLinkName() {
    static std::atomic<int> counter{0};
    std::error_code ignored;
    fs::path folder = fs::temp_directory_path(ignored);
    if (folder.empty()) {
        folder = "/tmp";
    }
    return (folder /
            ("quillpost-testline-" + std::to_string(::getpid()) + "-" + std::to_string(++counter)))
        .string();
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

TestLine::Options TestLine::DefaultOptions() {
    Options options;
    options.helper = InstalledFiles::HelperProgram("faxsim");
    options.link = FreshLinkName();
    options.rxFolder = DataFolder() + "testline";
    options.sampleFax = InstalledFiles::DataFile("testfax.tif");
    return options;
}

TestLine::~TestLine() {
    Stop();
}

int TestLine::Start(const Options& options, std::string* error) {
    Stop();
    options_ = options;
    helperEnded_ = false;
    events_.clear();
    if (options_.helper.empty() || ::access(options_.helper.c_str(), X_OK) != 0) {
        if (error) {
            *error = "The test line's helper program (faxsim) is not installed.";
        }
        return -2001;
    }
    std::error_code ignored;
    fs::create_directories(options_.rxFolder, ignored);
    if (!Spawn(error)) {
        return -2001;
    }
    Register(this);
    const auto ready = WaitForEvent("ready ", options_.readyTimeout);
    if (!ready) {
        if (error) {
            *error = "The test line did not start.";
        }
        Stop();
        return -2001;
    }
    return 0;
}

bool TestLine::Spawn(std::string* error) {
    int commands[2];
    int events[2];
    if (::pipe2(commands, O_CLOEXEC) != 0) {
        return false;
    }
    if (::pipe2(events, O_CLOEXEC) != 0) {
        ::close(commands[0]);
        ::close(commands[1]);
        return false;
    }
    std::vector<std::string> args{options_.helper, "--link",          options_.link,
                                  "--rx-dir",      options_.rxFolder, "--number-rules",
                                  "test-line",     "--remote-id",     options_.remoteId};
    if (!options_.sampleFax.empty()) {
        args.insert(args.end(), {"--tx-tiff", options_.sampleFax});
    }
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, commands[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, events[1], STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The helper must not inherit signals this program ignores or blocks.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t child = -1;
    const int spawned =
        ::posix_spawn(&child, options_.helper.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(commands[0]);
    ::close(events[1]);
    if (spawned != 0) {
        ::close(commands[1]);
        ::close(events[0]);
        if (error) {
            *error = "The test line's helper program could not be started.";
        }
        return false;
    }
    child_ = child;
    commandFd_ = commands[1];
    eventFd_ = events[0];
    reader_ = std::thread([this] { ReadEvents(); });
    return true;
}

void TestLine::ReadEvents() {
    std::string pending;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(eventFd_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        pending.append(buffer, static_cast<std::size_t>(got));
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::lock_guard guard(mutex_);
            events_.push_back(pending.substr(0, end));
            if (events_.size() > KeptEvents) {
                events_.pop_front();
            }
            pending.erase(0, end + 1);
            eventArrived_.notify_all();
        }
    }
    std::lock_guard guard(mutex_);
    helperEnded_ = true;
    eventArrived_.notify_all();
}

std::optional<std::string> TestLine::WaitForEvent(const std::string& prefix,
                                                  std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    for (;;) {
        while (!events_.empty()) {
            std::string event = std::move(events_.front());
            events_.pop_front();
            if (event.rfind(prefix, 0) == 0) {
                return event;
            }
        }
        if (helperEnded_ || child_ < 0) {
            return std::nullopt;
        }
        if (eventArrived_.wait_until(lock, deadline) == std::cv_status::timeout &&
            events_.empty()) {
            return std::nullopt;
        }
    }
}

bool TestLine::IsRunning() const {
    std::lock_guard guard(mutex_);
    return child_ > 0 && !helperEnded_;
}

bool TestLine::SendCommand(const std::string& line) {
    std::lock_guard guard(mutex_);
    if (commandFd_ < 0 || helperEnded_) {
        return false;
    }
    return WriteAll(commandFd_, line + "\n");
}

bool TestLine::Call() {
    return SendCommand("call");
}

bool TestLine::CallFromRunningLine() {
    std::lock_guard guard(registryLock);
    for (auto line = registry.rbegin(); line != registry.rend(); ++line) {
        if ((*line)->Call()) {
            return true;
        }
    }
    return false;
}

bool TestLine::AnyRunning() {
    std::lock_guard guard(registryLock);
    return std::any_of(registry.begin(), registry.end(),
                       [](const TestLine* line) { return line->IsRunning(); });
}

void TestLine::Stop() {
    Unregister(this);
    if (child_ <= 0) {
        return;
    }
    SendCommand("quit");
    EndHelper();
    if (reader_.joinable()) {
        reader_.join();
    }
    {
        std::lock_guard guard(mutex_);
        ::close(eventFd_);
        eventFd_ = -1;
        child_ = -1;
    }
    RemoveLeftovers();
}

// Closing its input ends the helper; it ends a call first, so give it time, then insist.
void TestLine::EndHelper() {
    {
        std::lock_guard guard(mutex_);
        ::close(commandFd_);
        commandFd_ = -1;
    }
    auto deadline = std::chrono::steady_clock::now() + HelperEndWait;
    bool terminated = false;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(child_, &status, WNOHANG);
        if (done == child_ || (done < 0 && errno != EINTR)) {
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child_, terminated ? SIGKILL : SIGTERM);
            if (terminated) {
                ::waitpid(child_, &status, 0);
                return;
            }
            terminated = true;
            deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// A helper that had to be killed cannot remove its link itself.
void TestLine::RemoveLeftovers() {
    std::error_code ignored;
    if (fs::is_symlink(fs::symlink_status(options_.link, ignored))) {
        fs::remove(options_.link, ignored);
    }
}

} // namespace qpcomm
