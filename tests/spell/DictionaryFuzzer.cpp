// Feeds arbitrary bytes to the engine as a main list and as a user list: opening,
// checking, suggesting and adding must never crash or hang.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "spell/core/TZizadSpell.h"

namespace {

std::string ScratchFile(const char* name) {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("quillpost-spell-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return (folder / name).string();
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
    const std::string path = ScratchFile("input.dct");
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
        }
    }
    return 0;
}
