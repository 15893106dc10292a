// Fuzzes the table file reader: any bytes as a .DBF (with an empty memo file beside it).
#include <cstddef>
#include <cstdint>

#include "FuzzFiles.h"
#include "tables/MemoFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = tablefuzz::Folder() + "FUZZ.DBF";
    tablefuzz::Write(path, data, size);
    std::remove((tablefuzz::Folder() + "FUZZ.CDX").c_str());
    qp::tables::MemoFile::Create(tablefuzz::Folder() + "FUZZ.FPT");
    tablefuzz::ExerciseTable(path);
    return 0;
}
