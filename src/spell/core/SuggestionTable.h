#pragma once

#include <string>
#include <vector>

// The ordered candidate table of a suggestion search: entries in descending score order,
// a new entry after all entries of equal score, at most `limit` entries. A candidate
// that would land behind the last place of a full table is discarded; otherwise, when
// the table is full, its last entry drops out.
class SuggestionTable final {
public:
    // The table never holds more than this many entries, whatever the limit.
    static constexpr int MaxEntries = 255;

    explicit SuggestionTable(int limit);

    // Offers a candidate; returns true when it was taken. A word already in the table
    // is not taken twice.
    bool Insert(const std::string& word, int score);

    int Size() const { return static_cast<int>(entries_.size()); }
    int Limit() const { return limit_; }
    std::vector<std::string> Words() const;
    std::vector<int> Scores() const;

private:
    struct Entry {
        std::string word;
        int score;
    };

    int limit_;
    std::vector<Entry> entries_;
};
