#include "FuzzFiles.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tables/TableEngine.h"

namespace tablefuzz {

const std::string& Folder() {
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/qp-table-fuzz-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        const char* made = mkdtemp(buffer.data());
        static std::string created = made ? made : "";
        if (made)
            std::atexit([] { std::filesystem::remove_all(created); });
        return std::string(made ? made : "/tmp") + "/";
    }();
    return folder;
}

void Write(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

void Write(const std::string& path, const std::string& data) {
    Write(path, reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

void WriteMemoTable(const std::string& path) {
    static std::string table;
    if (table.empty()) {
        qp::tables::TableEngine engine;
        engine.CreateNew(path, "XXXXXXXXXX", 2, 3);
        engine.CreateField("NAME", "C", 20, 0);
        engine.CreateField("WHEN", "D", 8, 0);
        engine.CreateField("NOTES", "M", 10, 0);
        engine.CreateExec();
        engine.Use(path);
        const char* pointers[] = {"         8", "         9", "        10", "        16",
                                  "       100", "          ", "4294967295", "         1"};
        for (const char* pointer : pointers) {
            engine.AppendBlank();
            engine.PutString("NAME", pointer);
            std::string record = engine.GetRecord();
            record.replace(record.size() - 10, 10, pointer);
            engine.PutRecord(record);
        }
        engine.Close();
        std::ifstream in(path, std::ios::binary);
        table.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    Write(path, table);
}

void ExerciseTable(const std::string& path) {
    qp::tables::TableEngine engine;
    if (engine.Use(path) == 0)
        return;
    int fields = engine.FieldCount();
    long count = std::min(engine.RecCount(), 5000L);
    for (long r = 1; r <= count; ++r) {
        engine.Go(r);
        for (int f = 1; f <= fields; ++f) {
            engine.GetString(f);
            engine.GetLogical(f);
            engine.GetDateString(f);
            engine.GetNumber(f);
        }
        engine.Deleted();
    }
    engine.SetDeleted(true);
    for (int tag = 0; tag <= engine.TagCount(); ++tag) {
        engine.SetOrder(tag);
        long steps = 0;
        for (engine.GoTop(); !engine.Eof() && steps < 10000; engine.Skip(1))
            ++steps;
        engine.GoBottom();
        engine.Skip(-3);
        engine.QueryRecCount();
        engine.KeyNo();
    }
    std::vector<std::string> problems;
    engine.Check(problems);
    if (count > 0) {
        engine.Go(1);
        engine.PutString(engine.FieldName(1), "changed");
    }
    engine.Close();
}

} // namespace tablefuzz
