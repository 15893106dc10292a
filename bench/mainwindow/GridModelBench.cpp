// The sent-fax grid over a table of 100,000 rows: opening it and showing the first screen,
// and jumping to the end. Each should stay well under 100 ms.
#include "store/TFaxStore.h"
#include "store/TTableEnv.h"
#include "store/TTableModel.h"
#include "store/TableLayouts.h"
#include "common/DataFolder.h"
#include "tables/TableEngine.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr long RowCount = 100000;

// Writes the sent table with RowCount faxes straight through the engine.
bool MakeLargeSentTable() {
    TFaxStore store(TTableEnv::Instance());
    if (!store.MakeFaxDBF()) {
        return false;
    }
    qp::tables::TableEngine& engine = TTableEnv::Instance().Engine();
    const std::string path = TFaxStore::TableFilePath(store::SentLayout());
    if (engine.Use(path) <= 0) {
        return false;
    }
    for (long i = 0; i < RowCount; ++i) {
        char date[16];
        std::snprintf(date, sizeof date, "2026%02ld%02ld", 1 + (i / 28) % 12, 1 + i % 28);
        char time[8];
        std::snprintf(time, sizeof time, "%02ld:%02ld", (i / 60) % 24, i % 60);
        engine.AppendBlank();
        engine.PutString("SUBJECT", "Subject of fax " + std::to_string(i));
        engine.PutLogical("SENT", i % 3 != 0);
        engine.PutDate("DATESENT", date);
        engine.PutString("TIMESENT", time);
        engine.PutString("RECIPIENT", "Recipient " + std::to_string(i % 977));
        engine.PutString("PHONE", "555-" + std::to_string(1000 + i % 9000));
        engine.PutNumber("PAGES", static_cast<double>(1 + i % 9));
        engine.PutString("LASTRESULT", "Fax sent successfully");
    }
    engine.IndexTag("", "DATESENT", store::NotDeleted, 1, false, "DTOS(DATESENT)+TIMESENT");
    engine.Close();
    return true;
}

std::vector<TTableModel::Column> Columns() {
    return {{"Sent", "SENT", 3,
             [](const std::string& v) {
                 return QString::fromStdString(TFaxStore::FaxTableCalcFields(v == "T"));
             }},
            {"Date Sent", "DATESENT", 0, {}},
            {"Time Sent", "TIMESENT", 0, {}},
            {"Recipient", "RECIPIENT", 20, {}},
            {"Phone", "PHONE", 15, {}},
            {"Pages", "PAGES", 5, {}},
            {"Subject", "SUBJECT", 20, {}},
            {"Last Attempt", "LASTRESULT", 35, {}}};
}

// Opens the table as the main window does and shows the first screen of the grid.
// Closing (which flushes the files) is not timed.
void BM_OpenAndShowFirstScreen(benchmark::State& state) {
    for (auto _ : state) {
        auto store = std::make_unique<TFaxStore>(TTableEnv::Instance());
        if (!store->OpenFaxDBF()) {
            state.SkipWithError("cannot open the sent table");
            return;
        }
        TTableAdapter& fax = store->FaxAdapter();
        fax.SetOrder(fax.TagArea("DATESENT"));
        fax.First();
        auto model = std::make_unique<TTableModel>(fax, Columns());
        {
            QTableView view;
            view.resize(592, 300);
            view.setModel(model.get());
            const QPixmap screen = view.grab();
            benchmark::DoNotOptimize(screen.cacheKey());
        }
        if (model->rowCount() != RowCount) {
            state.SkipWithError("wrong row count");
        }
        state.PauseTiming();
        model.reset();
        store.reset();
        state.ResumeTiming();
    }
}

// Opens the table as the main window does, without a grid.
// Closing (which flushes the files) is not timed.
void BM_OpenTable(benchmark::State& state) {
    for (auto _ : state) {
        auto store = std::make_unique<TFaxStore>(TTableEnv::Instance());
        if (!store->OpenFaxDBF()) {
            state.SkipWithError("cannot open the sent table");
            return;
        }
        benchmark::DoNotOptimize(store->FaxAdapter().RecNo());
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
}

// With the table open in date order, builds the grid and paints its first screen.
void BM_ShowFirstScreen(benchmark::State& state) {
    TFaxStore store(TTableEnv::Instance());
    if (!store.OpenFaxDBF()) {
        state.SkipWithError("cannot open the sent table");
        return;
    }
    TTableAdapter& fax = store.FaxAdapter();
    fax.SetOrder(fax.TagArea("DATESENT"));
    fax.First();
    for (auto _ : state) {
        TTableModel model(fax, Columns());
        QTableView view;
        view.resize(592, 300);
        view.setModel(&model);
        const QPixmap screen = view.grab();
        benchmark::DoNotOptimize(screen.cacheKey());
    }
}

// With the grid shown, jumps to the last row and paints that screen.
void BM_JumpToEnd(benchmark::State& state) {
    TFaxStore store(TTableEnv::Instance());
    if (!store.OpenFaxDBF()) {
        state.SkipWithError("cannot open the sent table");
        return;
    }
    TTableAdapter& fax = store.FaxAdapter();
    fax.SetOrder(fax.TagArea("DATESENT"));
    fax.First();
    TTableModel model(fax, Columns());
    QTableView view;
    view.resize(592, 300);
    view.setModel(&model);
    view.grab();
    bool atEnd = false;
    for (auto _ : state) {
        if (atEnd) {
            view.scrollToTop();
        } else {
            view.setCurrentIndex(model.index(model.rowCount() - 1, 0));
            view.scrollToBottom();
        }
        atEnd = !atEnd;
        const QPixmap screen = view.grab();
        benchmark::DoNotOptimize(screen.cacheKey());
    }
}

BENCHMARK(BM_OpenTable)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ShowFirstScreen)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OpenAndShowFirstScreen)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_JumpToEnd)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TTableEnv::Instance().SetDeleted(true);
    if (!MakeLargeSentTable()) {
        std::fprintf(stderr, "Could not write the sent table in %s\n", DataFolder().c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TTableEnv::Instance().Shutdown();
    return 0;
}
