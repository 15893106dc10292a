#include "TestPaths.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace qptest {

namespace fs = std::filesystem;

static fs::path FromEnvOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return fs::path(value && *value ? value : fallback);
}

fs::path SourceDir() {
    return FromEnvOr("QP_SOURCE_DIR", QP_SOURCE_DIR_DEFAULT);
}

fs::path BinaryDir() {
    return FromEnvOr("QP_BINARY_DIR", QP_BINARY_DIR_DEFAULT);
}

fs::path TestDataDir() {
    return SourceDir() / "tests" / "data";
}

fs::path DataDir() {
    const char* value = std::getenv("QUILLPOST_DATA");
    fs::path dir = value && *value ? fs::path(value) : fs::temp_directory_path() / "quillpost-test";
    fs::create_directories(dir);
    return dir;
}

static int scratchCounter = 0;

ScratchDir::ScratchDir(const std::string& name) {
    path_ = DataDir() /
            (name + "-" + std::to_string(getpid()) + "-" + std::to_string(++scratchCounter));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

int RunCommand(const std::string& command, std::string* output) {
    // Standard error joins the output, except where the command redirects it itself.
    FILE* pipe = popen(("{ " + command + "\n} 2>&1").c_str(), "r");
    if (!pipe) {
        return -1;
    }
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        if (output) {
            output->append(buffer.data(), n);
        }
    }
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace qptest
