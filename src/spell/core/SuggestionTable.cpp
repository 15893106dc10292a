#include "spell/core/SuggestionTable.h"

#include <algorithm>

SuggestionTable::SuggestionTable(int limit) : limit_(std::clamp(limit, 0, MaxEntries)) {
    entries_.reserve(static_cast<std::size_t>(limit_));
}

bool SuggestionTable::Insert(const std::string& word, int score) {
    if (limit_ == 0) {
        return false;
    }
    for (const auto& entry : entries_) {
        if (entry.word == word) {
            return false;
        }
    }
    const auto place = std::find_if(entries_.begin(), entries_.end(),
                                    [score](const Entry& entry) { return entry.score < score; });
    if (place == entries_.end() && Size() >= limit_) {
        return false;
    }
    entries_.insert(place, Entry{word, score});
    if (Size() > limit_) {
        entries_.pop_back();
    }
    return true;
}

std::vector<std::string> SuggestionTable::Words() const {
    std::vector<std::string> words;
    words.reserve(entries_.size());
    for (const auto& entry : entries_) {
        words.push_back(entry.word);
    }
    return words;
}

std::vector<int> SuggestionTable::Scores() const {
    std::vector<int> scores;
    scores.reserve(entries_.size());
    for (const auto& entry : entries_) {
        scores.push_back(entry.score);
    }
    return scores;
}
