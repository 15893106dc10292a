// Table engine figures on a sent-fax table of 100,000 records with the DTOS(DATESENT)+
// TIMESENT tag active and its condition: appending (beside SQLite doing the same work in
// the same run), the peak memory of appending 10,000 and 1,000,000 records, walking in
// index order, random record numbers, the first screen and the jump to the end, and pack.

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The faxes both contenders store: a subject and a random date and time each.
class FaxSource {
public:
    void Next(long i) {
        std::snprintf(date, sizeof date, "%04d%02d%02d", 2000 + int(random_() % 25),
                      1 + int(random_() % 12), 1 + int(random_() % 28));
        std::snprintf(time, sizeof time, "%02d:%02d", int(random_() % 24), int(random_() % 60));
        subject = "Fax number " + std::to_string(i);
    }
    std::string subject;
    char date[16] = {}, time[8] = {};

private:
    std::mt19937 random_{42};
};

// Appends `count` faxes with random dates and times to the open table.
void AppendFaxes(TableEngine& engine, long count) {
    FaxSource fax;
    for (long i = 0; i < count; ++i) {
        fax.Next(i);
        engine.AppendBlank();
        engine.PutString("SUBJECT", fax.subject);
        engine.PutDate("DATESENT", fax.date);
        engine.PutString("TIMESENT", fax.time);
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

// The same work for SQLite: the sent table's columns, an index on the same key, `count`
// faxes inserted in one transaction through a prepared statement, on disk. Returns an
// error text, empty on success.
std::string SqliteAppend(const std::string& path, long count) {
    fs::remove(path);
    fs::remove(path + "-journal");
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db,
                     "CREATE TABLE fax(subject TEXT, sent INTEGER, datesent TEXT, "
                     "timesent TEXT, recipient TEXT, phone TEXT, pages INTEGER, "
                     "lastresult TEXT, rtfcover BLOB, rtfdoc BLOB);"
                     "CREATE INDEX datesent ON fax(datesent || timesent);",
                     nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::string error = sqlite3_errmsg(db);
        sqlite3_close(db);
        return error;
    }
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO fax(subject, datesent, timesent) VALUES(?, ?, ?)", -1,
                       &insert, nullptr);
    FaxSource fax;
    std::string error;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (long i = 0; i < count && error.empty(); ++i) {
        fax.Next(i);
        sqlite3_bind_text(insert, 1, fax.subject.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, fax.date, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, fax.time, -1, SQLITE_TRANSIENT);
        if (sqlite3_step(insert) != SQLITE_DONE)
            error = sqlite3_errmsg(db);
        sqlite3_reset(insert);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(insert);
    sqlite3_close(db);
    return error;
}

void BM_SqliteAppend100k(benchmark::State& state) {
    for (auto _ : state) {
        const std::string error = SqliteAppend(Folder() + "append.sqlite", kRecords);
        if (!error.empty())
            state.SkipWithError(error.c_str());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_SqliteAppend100k)->Iterations(1)->Unit(benchmark::kMillisecond);

// The child of BM_AppendPeakMemory: appends `count` faxes to the table at `path`.
int AppendInChild(const std::string& path, long count) {
    TableEngine engine;
    if (engine.Use(path) <= 0)
        return 2;
    AppendFaxes(engine, count);
    return engine.Close() == 0 ? 0 : 1;
}

// Runs this program again as `childMode` with `path` and `count`, and reports the child's
// peak memory and rate: the figure is that of the work alone.
void RunPeakMemoryChild(benchmark::State& state, const char* childMode, const std::string& path,
                        long count) {
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        const std::string countText = std::to_string(count);
        execl("/proc/self/exe", "bench_tables", childMode, path.c_str(), countText.c_str(),
              static_cast<char*>(nullptr));
        _exit(3);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        state.SkipWithError("the appending child failed");
    state.counters["peakRSS_MB"] = double(usage.ru_maxrss) / 1024.0;
    state.counters["records_per_second"] = double(count) / seconds;
}

// Appends `state.range(0)` faxes in a fresh process of its own, so that the peak memory
// reported is that of this work alone: with the keys behind a node cache of fixed size it
// stops growing once the cache is full (the middle size shows where), however many
// records follow. With `state.range(1)` 1 the tag is on the subject instead: long keys
// that share most of their bytes, many to a leaf, so that each leaf takes much memory
// decoded (the cache is bounded in bytes, not only in leaves).
void BM_AppendPeakMemory(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::string path = Folder() + "MEMORY.DBF";
        {
            TableEngine engine;
            CreateSentTable(engine, path);
            engine.Use(path);
            if (state.range(1) == 1)
                engine.IndexTag("", "SUBJECT", "", 1, false, "SUBJECT");
            else
                engine.IndexTag("", "DATESENT", ".not. deleted()", 1, false,
                                "DTOS(DATESENT)+TIMESENT");
            engine.Close();
        }
        RunPeakMemoryChild(state, "--append-child", path, long(state.range(0)));
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AppendPeakMemory)
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Args({1000000, 0})
    ->Args({300000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// SQLite's peak memory for the same work, for comparison (its page cache, 2 MB by
// default, fills the same way).
void BM_SqlitePeakMemory(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        RunPeakMemoryChild(state, "--sqlite-child", Folder() + "memory.sqlite",
                           long(state.range(0)));
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SqlitePeakMemory)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

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

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--append-child")
        return AppendInChild(argv[2], std::atol(argv[3]));
    if (argc == 4 && std::string(argv[1]) == "--sqlite-child")
        return SqliteAppend(argv[2], std::atol(argv[3])).empty() ? 0 : 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
