// Feeds arbitrary bytes to the engine as a main list and as a user list: opening,
// checking, suggesting and adding must never crash or hang, and a user list the engine
// opened (repairing it when damaged) must be sound when opened again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "spell/core/TZizadSpell.h"

namespace {

const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("quillpost-spell-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

// Removes what the last input left: backups of damaged lists, the list itself.
void ClearScratchFolder() {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(ScratchFolder(), ignored)) {
        std::filesystem::remove(entry.path(), ignored);
    }
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        if (size > 0) {
            std::fwrite(data, 1, size, file);
        }
        std::fclose(file);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024) {
        return 0;
    }
    ClearScratchFolder();
    const std::string path = (ScratchFolder() / "input.dct").string();
    WriteFile(path, data, size);
    {
        TZizadSpell speller;
        if (speller.OpenMainList(path)) {
            speller.CheckWord("receive");
            speller.CheckWord("dog's");
            speller.Suggestions("recieve");
        }
    }
    {
        TZizadSpell speller;
        const int section = speller.OpenUserList(path);
        if (section >= 0) {
            speller.CheckWord("zebra");
            speller.AddWord("zebras", section);
            speller.AddWord("aardvark", section);
            speller.CheckWord("aardvark");
            speller.Suggestions("zebar");
            TZizadSpell reopened;
            if (reopened.OpenUserList(path) < 0 || !reopened.TakeUserListRepairs().empty() ||
                (speller.CheckWord("aardvark") && !reopened.CheckWord("aardvark"))) {
                std::abort(); // the engine left a damaged list or lost a word
            }
        }
    }
    return 0;
}
