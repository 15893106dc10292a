#include "tables/ReplacementJournal.h"

#include <sstream>

#include "tables/FileOps.h"
#include "tables/TableFault.h"

namespace qp::tables {

namespace {

constexpr char kPrepared[] = "prepared";
constexpr char kCommitted[] = "committed";

} // namespace

ReplacementJournal::ReplacementJournal(std::string journalPath, std::vector<Entry> entries)
    : journalPath_(std::move(journalPath)), entries_(std::move(entries)) {}

// One line for the state, then per entry: existed (0/1), target, replacement, each on a
// line of its own.
void ReplacementJournal::WriteJournal(State state) {
    std::string text = state == State::kCommitted ? kCommitted : kPrepared;
    text += "\n";
    for (size_t i = 0; i < entries_.size(); ++i) {
        text += existed_[i] ? "1\n" : "0\n";
        text += entries_[i].target + "\n" + entries_[i].replacement + "\n";
    }
    FileOps::ReplaceFile(journalPath_, text);
}

bool ReplacementJournal::ReadJournal(const std::string& journalPath, State& state,
                                     std::vector<Entry>& entries, std::vector<bool>& existed) {
    std::string text;
    {
        FILE* file = std::fopen(journalPath.c_str(), "rb");
        if (!file)
            return false;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, n);
        std::fclose(file);
    }
    std::istringstream lines(text);
    std::string first;
    if (!std::getline(lines, first) || (first != kPrepared && first != kCommitted))
        return false; // a journal cut short while being written never took effect
    state = first == kCommitted ? State::kCommitted : State::kPrepared;
    std::string flag, target, replacement;
    while (std::getline(lines, flag) && std::getline(lines, target) &&
           std::getline(lines, replacement)) {
        existed.push_back(flag == "1");
        entries.push_back({target, replacement});
    }
    return !entries.empty();
}

void ReplacementJournal::Commit() {
    existed_.clear();
    for (const auto& e : entries_)
        existed_.push_back(FileOps::Exists(e.target));
    try {
        WriteJournal(State::kPrepared);
        for (size_t i = 0; i < entries_.size(); ++i) {
            if (existed_[i])
                FileOps::Link(entries_[i].target, SecondNameOf(entries_[i].target));
        }
        FileOps::SyncFolderOf(journalPath_);
        WriteJournal(State::kCommitted);
    } catch (...) {
        // Nothing replaced yet: undo the preparations, keep the first failure's reason.
        try {
            Restore(entries_, existed_);
            RemoveJournal(journalPath_);
        } catch (const TableFault&) {
        }
        throw;
    }
    try {
        Finish(entries_);
    } catch (...) {
        Undo();
        throw;
    }
    try {
        RemoveJournal(journalPath_);
    } catch (const TableFault&) {
        // Done all the same: finishing again at the next open changes nothing.
    }
}

void ReplacementJournal::Undo() {
    // Back to "prepared" first, so that a process killed while undoing is undone at the
    // next open; when even that cannot be written, the next open finishes instead.
    try {
        WriteJournal(State::kPrepared);
    } catch (const TableFault&) {
        try {
            Finish(entries_);
            RemoveJournal(journalPath_);
        } catch (const TableFault&) {
        }
        return;
    }
    try {
        Restore(entries_, existed_);
        RemoveJournal(journalPath_);
    } catch (const TableFault&) {
        // The journal says "prepared": the next open restores what is left.
    }
}

void ReplacementJournal::RemoveJournal(const std::string& journalPath) {
    if (FileOps::Exists(journalPath)) {
        FileOps::Remove(journalPath);
        FileOps::SyncFolderOf(journalPath);
    }
}

void ReplacementJournal::Finish(const std::vector<Entry>& entries) {
    // Each step is done only while its trace is there, so finishing twice is harmless.
    for (const auto& e : entries) {
        if (e.replacement.empty()) {
            if (FileOps::Exists(SecondNameOf(e.target)))
                FileOps::Remove(e.target);
        } else if (FileOps::Exists(e.replacement)) {
            FileOps::Rename(e.replacement, e.target);
        }
    }
    FileOps::SyncFolderOf(entries.front().target);
    for (const auto& e : entries)
        FileOps::Remove(SecondNameOf(e.target));
    FileOps::SyncFolderOf(entries.front().target);
}

void ReplacementJournal::Restore(const std::vector<Entry>& entries,
                                 const std::vector<bool>& existed) {
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        const std::string second = SecondNameOf(e.target);
        if (FileOps::Exists(second)) {
            FileOps::Rename(second, e.target);
            FileOps::Remove(second); // still there when both names were one file already
        } else if (!existed[i]) {
            FileOps::Remove(e.target);
        }
        if (!e.replacement.empty())
            FileOps::Remove(e.replacement);
    }
    FileOps::SyncFolderOf(entries.front().target);
}

void ReplacementJournal::Recover(const std::string& journalPath,
                                 const std::vector<std::string>& targets) {
    State state = State::kPrepared;
    std::vector<Entry> entries;
    std::vector<bool> existed;
    if (ReadJournal(journalPath, state, entries, existed)) {
        if (state == State::kCommitted)
            Finish(entries);
        else
            Restore(entries, existed);
    } else {
        // No journal in force: replacements were still being written when the process
        // died, and no target was touched.
        for (const auto& target : targets) {
            if (FileOps::Exists(ReplacementOf(target)))
                FileOps::Remove(ReplacementOf(target));
        }
    }
    if (FileOps::Exists(journalPath + ".new"))
        FileOps::Remove(journalPath + ".new"); // a journal that was never put in force
    RemoveJournal(journalPath);
}

} // namespace qp::tables
