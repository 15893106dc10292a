#include "common/DataFolder.h"

#include "common/InstalledFiles.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace {

std::mutex folderLock;
std::string cachedFolder;

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::string ComputeDataFolder() {
    if (const char* env = std::getenv("QUILLPOST_DATA"); env && *env) {
        std::error_code ignored;
        std::filesystem::create_directories(env, ignored);
        return WithSlash(env);
    }
    // A portable folder keeps its data beside the program; an installed program (even one
    // its user could write to, such as root's) never writes into its programs' folder.
    const std::string exeFolder = ExecutableFolder();
    if (!exeFolder.empty() && !InstalledFiles::IsInstalled() &&
        access(exeFolder.c_str(), W_OK) == 0) {
        return exeFolder;
    }
    const char* home = std::getenv("HOME");
    std::filesystem::path user =
        std::filesystem::path(home && *home ? home : "/tmp") / ".local" / "share" / "Quillpost";
    std::error_code ignored;
    std::filesystem::create_directories(user, ignored);
    return WithSlash(user.string());
}

} // namespace

std::string ExecutableFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    return WithSlash(exe.parent_path().string());
}

std::string DataFolder() {
    std::lock_guard<std::mutex> guard(folderLock);
    if (cachedFolder.empty()) {
        cachedFolder = ComputeDataFolder();
    }
    return cachedFolder;
}

void ResetDataFolder() {
    std::lock_guard<std::mutex> guard(folderLock);
    cachedFolder.clear();
}
