#pragma once

#include <filesystem>
#include <string>

// Paths the tests need: the source tree (for checked-in test data), the build tree
// (for tools such as qpx) and a scratch folder inside the test's own data folder.
namespace qptest {

std::filesystem::path SourceDir();
std::filesystem::path BinaryDir();
std::filesystem::path TestDataDir(); // <source>/tests/data
std::filesystem::path DataDir();     // $QUILLPOST_DATA, created when missing

// A fresh, empty folder under the data folder; removed when the object goes away.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name = "scratch");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Runs a shell command and returns its exit status; its output and error output go to
// `output` when given. A redirection inside `command` (such as 2>/dev/null) is honoured.
int RunCommand(const std::string& command, std::string* output = nullptr);

} // namespace qptest
