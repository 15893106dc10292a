// Fuzzes the memo file reader and writer: any bytes as the .FPT of a fixed table whose
// records point at various blocks.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "FuzzFiles.h"
#include "tables/TableEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = tablefuzz::Folder() + "MEMO.DBF";
    tablefuzz::WriteMemoTable(path);
    tablefuzz::Write(tablefuzz::Folder() + "MEMO.FPT", data, size);
    qp::tables::TableEngine engine;
    if (engine.Use(path) == 0)
        return 0;
    for (long r = 1; r <= engine.RecCount(); ++r) {
        engine.Go(r);
        engine.GetMemo("NOTES");
        engine.BlobToFile("NOTES", tablefuzz::Folder() + "memo.out");
    }
    std::vector<std::string> problems;
    engine.Check(problems);
    engine.Go(2);
    engine.PutMemo("NOTES", "short");
    engine.Go(3);
    engine.PutMemo("NOTES", std::string(300, 'x'));
    engine.GetMemo("NOTES");
    engine.Pack();
    engine.Close();
    return 0;
}
