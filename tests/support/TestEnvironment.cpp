// Gives every test program what the test wrapper would give it, so that it also runs
// when started directly: its own fresh data folder (removed again at exit), the headless
// Qt platform and a private runtime folder. Variables that are already set are kept.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

class TestEnvironment {
public:
    TestEnvironment() : owner_(getpid()) {
        if (!IsSet("QUILLPOST_DATA")) {
            std::string pattern = (fs::temp_directory_path() / "quillpost-test.XXXXXX").string();
            if (mkdtemp(pattern.data())) {
                created_ = pattern;
                setenv("QUILLPOST_DATA", (created_ + "/").c_str(), 1);
            }
        }
        if (!IsSet("QT_QPA_PLATFORM")) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        }
        if (!IsSet("XDG_RUNTIME_DIR") && IsSet("QUILLPOST_DATA")) {
            const fs::path runtime = fs::path(std::getenv("QUILLPOST_DATA")) / "runtime";
            std::error_code ignored;
            fs::create_directories(runtime, ignored);
            chmod(runtime.c_str(), 0700);
            setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        }
    }

    ~TestEnvironment() {
        // A forked child that exits normally must not take the parent's folder with it.
        if (!created_.empty() && getpid() == owner_) {
            std::error_code ignored;
            fs::remove_all(created_, ignored);
        }
    }

    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

private:
    pid_t owner_;
    std::string created_;
};

// Set up before any other static object of the test reads the environment.
__attribute__((init_priority(101))) TestEnvironment environment;

} // namespace
