#pragma once

#include <string>
#include <vector>

namespace qp::tables {

// Replaces a set of files together — all of them or none, also across a process killed
// midway — as pack replaces a table, its memo file and its index.
//
// The replacements are complete files, synced to disk, lying beside their targets. A
// journal file beside the first target records the plan; its state decides what a later
// Recover does with an interrupted replacement:
//   "prepared"  (targets still hold their old contents; second names keep them): undo;
//   "committed" (the point of no return): finish.
// While committed, each replacement is renamed over its target (or the target removed
// when there is no replacement). When a rename fails the journal is set back to
// "prepared" and every target gets its old contents back from its second name.
class ReplacementJournal {
public:
    struct Entry {
        std::string target;
        std::string replacement; // empty: the target is to be removed
    };

    // `journalPath` names the journal file; the entries are the files to replace.
    ReplacementJournal(std::string journalPath, std::vector<Entry> entries);

    // Replaces every target. On failure every target is as it was before (or, when even
    // undoing fails, the journal is left for Recover) and TableFault is thrown.
    void Commit();

    // Finishes or undoes a replacement interrupted by a killed process; removes
    // replacements left by a process killed before committing. `targets` are the files a
    // journal at `journalPath` may concern. Does nothing when there is nothing to do.
    static void Recover(const std::string& journalPath, const std::vector<std::string>& targets);

    // The names used beside a target.
    static std::string ReplacementOf(const std::string& target) { return target + ".pack"; }
    static std::string SecondNameOf(const std::string& target) { return target + ".orig"; }

private:
    enum class State { kPrepared, kCommitted };

    void WriteJournal(State state);
    void Undo();
    static bool ReadJournal(const std::string& journalPath, State& state,
                            std::vector<Entry>& entries, std::vector<bool>& existed);
    static void Finish(const std::vector<Entry>& entries);
    static void Restore(const std::vector<Entry>& entries, const std::vector<bool>& existed);
    static void RemoveJournal(const std::string& journalPath);

    std::string journalPath_;
    std::vector<Entry> entries_;
    std::vector<bool> existed_; // per entry: the target existed before
};

} // namespace qp::tables
