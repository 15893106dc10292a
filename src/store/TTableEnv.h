#pragma once

#include <memory>

namespace qp::tables {
class TableEngine;
}

// The table engine's environment, one per process: it owns the engine that every table
// adapter works through and holds the settings that apply to all tables. `Deleted` true
// makes navigation skip records with the deleted mark.
//
// The first use configures the engine (strings without trailing blanks, errors as result
// codes) and checks that it reports a version. Shutdown closes every table and is the
// last thing the program does with tables.
class TTableEnv final {
public:
    TTableEnv(const TTableEnv&) = delete;
    TTableEnv& operator=(const TTableEnv&) = delete;

    static TTableEnv& Instance();

    qp::tables::TableEngine& Engine();

    // False when the engine could not be started (no version); table access then fails.
    bool Available() const { return available_; }

    void SetDeleted(bool on);
    bool Deleted() const;

    // Engine system property; accepted for compatibility.
    int SysProp(int property, int value);

    // Closes every table of every adapter.
    void Shutdown();

private:
    TTableEnv();
    ~TTableEnv();

    std::unique_ptr<qp::tables::TableEngine> engine_;
    bool available_ = false;
};
