#include "spell/core/SpellDictionaryFiles.h"

#include <filesystem>
#include <system_error>

#include "common/DataFolder.h"
#include "common/InstalledFiles.h"

namespace SpellDictionaryFiles {

namespace fs = std::filesystem;

std::string MainListPath() {
    return DataFolder() + MainListName;
}

std::string UserListPath() {
    return DataFolder() + UserListName;
}

std::string DeliveredMainList() {
    std::error_code error;
    // Beside the program (a portable folder) or in an install's shared files.
    const std::string shipped = InstalledFiles::DataFile(MainListName);
    if (!shipped.empty()) {
        return shipped;
    }
#ifdef QP_SPELL_BUILT_MAIN_LIST
    if (fs::is_regular_file(QP_SPELL_BUILT_MAIN_LIST, error)) {
        return QP_SPELL_BUILT_MAIN_LIST;
    }
#endif
    return {};
}

bool InstallMainList() {
    std::error_code error;
    const std::string target = MainListPath();
    if (fs::is_regular_file(target, error)) {
        return true;
    }
    const std::string source = DeliveredMainList();
    if (source.empty()) {
        return false;
    }
    // Copy under a temporary name first so that no half-written list is ever found.
    const std::string partial = target + ".part";
    if (!fs::copy_file(source, partial, fs::copy_options::overwrite_existing, error)) {
        return false;
    }
    fs::rename(partial, target, error);
    if (error) {
        fs::remove(partial, error);
        return fs::is_regular_file(target, error);
    }
    return true;
}

} // namespace SpellDictionaryFiles
