// Table engine figures on a sent-fax table of 100,000 records with the DTOS(DATESENT)+
// TIMESENT tag active and its condition: appending, walking in index order, random
// record numbers, the first screen and the jump to the end, and pack.

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sys/resource.h>

#include "tables/TableEngine.h"

using qp::tables::TableEngine;
namespace fs = std::filesystem;

namespace {

constexpr long kRecords = 100000;

std::string Folder() {
    const char* data = std::getenv("QUILLPOST_DATA");
    fs::path folder =
        fs::path(data && *data ? data : fs::temp_directory_path().string()) / "tablebench";
    fs::create_directories(folder);
    return folder.string() + "/";
}

void CreateSentTable(TableEngine& engine, const std::string& path) {
    struct Field {
        const char* name;
        const char* type;
        int width;
    } fields[] = {{"SUBJECT", "C", 50}, {"SENT", "L", 1},         {"DATESENT", "D", 8},
                  {"TIMESENT", "C", 5}, {"RECIPIENT", "C", 35},   {"PHONE", "C", 25},
                  {"PAGES", "N", 2},    {"LASTRESULT", "C", 100}, {"RTFCOVER", "M", 10},
                  {"RTFDOC", "M", 10}};
    engine.CreateNew(path, "XXXXXXXXXX", 2, 10);
    for (const auto& f : fields)
        engine.CreateField(f.name, f.type, f.width, 0);
    if (!engine.CreateExec())
        std::abort();
}

// Appends `count` faxes with random dates and times to the open table.
void AppendFaxes(TableEngine& engine, long count) {
    std::mt19937 random(42);
    char date[16], time[8];
    for (long i = 0; i < count; ++i) {
        engine.AppendBlank();
        std::snprintf(date, sizeof date, "%04d%02d%02d", 2000 + int(random() % 25),
                      1 + int(random() % 12), 1 + int(random() % 28));
        std::snprintf(time, sizeof time, "%02d:%02d", int(random() % 24), int(random() % 60));
        engine.PutString("SUBJECT", "Fax number " + std::to_string(i));
        engine.PutDate("DATESENT", date);
        engine.PutString("TIMESENT", time);
    }
}

void OpenWithTag(TableEngine& engine, const std::string& path) {
    engine.SetDeleted(true);
    engine.Use(path);
    engine.SetOrder("DATESENT");
    engine.Query(".not. deleted()");
}

// The shared 100,000-record table, made once.
const std::string& BigTable() {
    static const std::string path = [] {
        std::string p = Folder() + "BIG.DBF";
        TableEngine engine;
        CreateSentTable(engine, p);
        engine.Use(p);
        engine.IndexTag("", "DATESENT", ".not. deleted()", 1, false, "DTOS(DATESENT)+TIMESENT");
        AppendFaxes(engine, kRecords);
        engine.Close();
        return p;
    }();
    return path;
}

void ReportMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["maxRSS_MB"] = double(usage.ru_maxrss) / 1024.0;
}

void BM_Append100k(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::string path = Folder() + "APPEND.DBF";
        TableEngine engine;
        CreateSentTable(engine, path);
        engine.Use(path);
        engine.IndexTag("", "DATESENT", ".not. deleted()", 1, false, "DTOS(DATESENT)+TIMESENT");
        state.ResumeTiming();
        AppendFaxes(engine, kRecords);
        engine.Close(); // writes the index
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
    ReportMemory(state);
}
BENCHMARK(BM_Append100k)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_OrderedWalk(benchmark::State& state) {
    TableEngine engine;
    OpenWithTag(engine, BigTable());
    long visited = 0;
    for (auto _ : state) {
        for (engine.GoTop(); !engine.Eof(); engine.Skip(1))
            benchmark::DoNotOptimize(engine.RecNo());
        visited += engine.QueryRecCount();
    }
    state.SetItemsProcessed(visited);
    ReportMemory(state);
}
BENCHMARK(BM_OrderedWalk)->Unit(benchmark::kMillisecond);

void BM_OrderedWalkReadingAField(benchmark::State& state) {
    TableEngine engine;
    OpenWithTag(engine, BigTable());
    long visited = 0;
    for (auto _ : state) {
        for (engine.GoTop(); !engine.Eof(); engine.Skip(1))
            benchmark::DoNotOptimize(engine.GetString(4));
        visited += engine.QueryRecCount();
    }
    state.SetItemsProcessed(visited);
    ReportMemory(state);
}
BENCHMARK(BM_OrderedWalkReadingAField)->Unit(benchmark::kMillisecond);

void BM_Go10kRandomRecords(benchmark::State& state) {
    TableEngine engine;
    OpenWithTag(engine, BigTable());
    std::mt19937 random(3);
    for (auto _ : state) {
        for (int i = 0; i < 10000; ++i) {
            engine.Go(1 + long(random() % kRecords));
            benchmark::DoNotOptimize(engine.GetString(1));
        }
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_Go10kRandomRecords)->Unit(benchmark::kMillisecond);

// What the grid does: open, show the first 40 rows, then jump to the last screen.
void BM_OpenFirstScreenAndJumpToEnd(benchmark::State& state) {
    const std::string& path = BigTable();
    for (auto _ : state) {
        TableEngine engine;
        OpenWithTag(engine, path);
        for (long row = 1; row <= 40; ++row) {
            engine.GoKey(row);
            benchmark::DoNotOptimize(engine.GetString(1));
        }
        long count = engine.QueryRecCount();
        for (long row = count - 39; row <= count; ++row) {
            engine.GoKey(row);
            benchmark::DoNotOptimize(engine.GetString(1));
        }
        engine.GoBottom();
        benchmark::DoNotOptimize(engine.KeyNo());
    }
}
BENCHMARK(BM_OpenFirstScreenAndJumpToEnd)->Unit(benchmark::kMillisecond);

void BM_PackAfterDeletingEveryTenth(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::string path = Folder() + "PACK.DBF";
        for (const char* ext : {".DBF", ".FPT", ".CDX"})
            fs::copy_file(BigTable().substr(0, BigTable().size() - 4) + ext,
                          path.substr(0, path.size() - 4) + ext,
                          fs::copy_options::overwrite_existing);
        TableEngine engine;
        OpenWithTag(engine, path);
        for (long r = 10; r <= kRecords; r += 10) {
            engine.Go(r);
            engine.Delete();
        }
        state.ResumeTiming();
        engine.Pack();
        if (engine.RecCount() != kRecords - kRecords / 10)
            state.SkipWithError("pack kept the wrong number of records");
        engine.Close();
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_PackAfterDeletingEveryTenth)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
