#include "common/InstalledFiles.h"

#include "common/DataFolder.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Set by the build from the install folders (relative to the programs' folder).
#ifndef QP_RELATIVE_SHARED_DIR
#define QP_RELATIVE_SHARED_DIR "../share/quillpost"
#endif
#ifndef QP_RELATIVE_HELPER_DIR
#define QP_RELATIVE_HELPER_DIR "../libexec/quillpost"
#endif

std::string FolderBesideExecutable(const char* relative) {
    const std::string executableFolder = ExecutableFolder();
    if (executableFolder.empty()) {
        return {};
    }
    std::error_code error;
    const fs::path folder = fs::weakly_canonical(fs::path(executableFolder) / relative, error);
    if (error || !fs::is_directory(folder, error)) {
        return {};
    }
    return folder.string() + "/";
}

std::string FirstFile(const std::string& name, const std::string& laterFolder) {
    std::error_code error;
    const std::string beside = ExecutableFolder() + name;
    if (!ExecutableFolder().empty() && fs::is_regular_file(beside, error)) {
        return beside;
    }
    if (!laterFolder.empty() && fs::is_regular_file(laterFolder + name, error)) {
        return laterFolder + name;
    }
    return {};
}

} // namespace

std::string InstalledFiles::SharedFolder() {
    return FolderBesideExecutable(QP_RELATIVE_SHARED_DIR);
}

bool InstalledFiles::IsInstalled() {
    return !SharedFolder().empty();
}

std::string InstalledFiles::DataFile(const std::string& name) {
    return FirstFile(name, SharedFolder());
}

std::string InstalledFiles::HelperProgram(const std::string& name) {
    return FirstFile(name, FolderBesideExecutable(QP_RELATIVE_HELPER_DIR));
}
