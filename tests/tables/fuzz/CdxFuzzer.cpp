// Fuzzes the compound index reader: any bytes as a .CDX, read from memory and then
// opened with a fixed table (which also feeds the stored expressions to the evaluator).
#include <cstddef>
#include <cstdint>

#include "FuzzFiles.h"
#include "tables/CdxReader.h"
#include "tables/TableFault.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        qp::tables::CdxReader reader("fuzz.cdx", bytes);
        for (const auto& tag : reader.Tags()) {
            qp::tables::KeyList keys(tag.keyLength);
            reader.ReadKeys(tag, ' ', keys);
        }
    } catch (const qp::tables::TableFault&) {
        return 0; // refused: the engine must not be fed this file either way
    }
    const std::string path = tablefuzz::Folder() + "INDEXED.DBF";
    tablefuzz::WriteMemoTable(path);
    tablefuzz::Write(tablefuzz::Folder() + "INDEXED.FPT", std::string(512, '\0'));
    tablefuzz::Write(tablefuzz::Folder() + "INDEXED.CDX", bytes);
    tablefuzz::ExerciseTable(path);
    return 0;
}
