// Speed of the spelling engine on the shipped main list "qpx.dct": word checks per
// second, and suggestions for common misspellings (median time, and how often the
// intended word comes first or among the first five). The same misspellings go through
// Debian's hunspell (en_US) in the same run for comparison.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <hunspell.hxx>

#include "spell/core/SpellDictionaryFiles.h"
#include "spell/core/SpellAlphabet.h"
#include "spell/core/TZizadSpell.h"
#include "spell/core/Windows1252.h"

namespace {

struct Misspelling {
    std::string wrong;
    std::string intended;
};

std::vector<Misspelling> LoadMisspellings() {
    std::vector<Misspelling> pairs;
    std::ifstream in(QP_SPELL_MISSPELLINGS);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        Misspelling pair;
        if (fields >> pair.wrong >> pair.intended) {
            pairs.push_back(pair);
        }
    }
    return pairs;
}

std::string MainList() {
    SpellDictionaryFiles::InstallMainList();
    return SpellDictionaryFiles::MainListPath();
}

// Words for the check benchmark: every word of the Debian list that converts, shuffled.
const std::vector<std::string>& SampleWords() {
    static const std::vector<std::string> words = [] {
        std::vector<std::string> result;
        std::ifstream in("/usr/share/dict/american-english");
        std::string line;
        while (std::getline(in, line)) {
            if (auto bytes = Windows1252::FromUtf8(line); bytes && bytes->size() > 1) {
                result.push_back(*bytes);
            }
        }
        std::shuffle(result.begin(), result.end(), std::mt19937(1));
        return result;
    }();
    return words;
}

void CheckWords(benchmark::State& state, bool withUserList) {
    TZizadSpell speller;
    if (!speller.OpenMainList(MainList())) {
        state.SkipWithError("no main list");
        return;
    }
    const std::string userList =
        (std::filesystem::temp_directory_path() / "bench-spell-user.dct").string();
    if (withUserList) {
        speller.CreateUserList(userList, {"Quillpost", "faxmodem"});
    }
    const auto& words = SampleWords();
    std::size_t next = 0;
    std::int64_t known = 0;
    for (auto _ : state) {
        known += speller.CheckWord(words[next]) ? 1 : 0;
        next = next + 1 == words.size() ? 0 : next + 1;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["known%"] =
        100.0 * static_cast<double>(known) / static_cast<double>(state.iterations());
    speller.Close();
    std::filesystem::remove(userList);
}

void BM_CheckWords(benchmark::State& state) {
    CheckWords(state, false);
}
BENCHMARK(BM_CheckWords);

// As the dialog runs it: a user list is open, so each word first looks whether another
// program has replaced the list since (and then rereads its header).
void BM_CheckWordsWithUserList(benchmark::State& state) {
    CheckWords(state, true);
}
BENCHMARK(BM_CheckWordsWithUserList);

struct QualityCounts {
    std::vector<double> millis;
    int first = 0;
    int topFive = 0;
};

template <typename Suggest>
QualityCounts MeasureSuggestions(const std::vector<Misspelling>& pairs, Suggest suggest) {
    QualityCounts counts;
    for (const auto& pair : pairs) {
        const auto start = std::chrono::steady_clock::now();
        const std::vector<std::string> list = suggest(pair.wrong);
        const auto end = std::chrono::steady_clock::now();
        counts.millis.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        const auto found = std::find(list.begin(), list.end(), pair.intended);
        counts.first += found == list.begin() && found != list.end() ? 1 : 0;
        counts.topFive += found != list.end() && found - list.begin() < 5 ? 1 : 0;
    }
    return counts;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

void Report(benchmark::State& state, const QualityCounts& counts, std::size_t total) {
    state.counters["median_ms"] = Median(counts.millis);
    state.counters["max_ms"] =
        counts.millis.empty() ? 0.0 : *std::max_element(counts.millis.begin(), counts.millis.end());
    state.counters["first%"] = 100.0 * counts.first / static_cast<double>(total);
    state.counters["top5%"] = 100.0 * counts.topFive / static_cast<double>(total);
}

void BM_SuggestOurs(benchmark::State& state) {
    TZizadSpell speller;
    if (!speller.OpenMainList(MainList())) {
        state.SkipWithError("no main list");
        return;
    }
    const auto pairs = LoadMisspellings();
    QualityCounts counts;
    for (auto _ : state) {
        counts = MeasureSuggestions(pairs, [&](const std::string& word) {
            std::vector<std::string> list;
            for (const auto& suggestion : speller.Suggestions(*Windows1252::FromUtf8(word))) {
                list.push_back(Windows1252::ToUtf8(suggestion));
            }
            return list;
        });
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pairs.size()));
    Report(state, counts, pairs.size());
}
BENCHMARK(BM_SuggestOurs)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SuggestHunspell(benchmark::State& state) {
    const std::string dir = QP_SPELL_HUNSPELL_DIR;
    if (!std::filesystem::exists(dir + "/en_US.dic")) {
        state.SkipWithError("hunspell-en-us is not installed");
        return;
    }
    Hunspell hunspell((dir + "/en_US.aff").c_str(), (dir + "/en_US.dic").c_str());
    const auto pairs = LoadMisspellings();
    QualityCounts counts;
    for (auto _ : state) {
        counts = MeasureSuggestions(
            pairs, [&](const std::string& word) { return hunspell.suggest(word); });
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pairs.size()));
    Report(state, counts, pairs.size());
}
BENCHMARK(BM_SuggestHunspell)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CheckWordsHunspell(benchmark::State& state) {
    const std::string dir = QP_SPELL_HUNSPELL_DIR;
    if (!std::filesystem::exists(dir + "/en_US.dic")) {
        state.SkipWithError("hunspell-en-us is not installed");
        return;
    }
    Hunspell hunspell((dir + "/en_US.aff").c_str(), (dir + "/en_US.dic").c_str());
    std::vector<std::string> words;
    for (const auto& word : SampleWords()) {
        words.push_back(Windows1252::ToUtf8(word));
    }
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(hunspell.spell(words[next]));
        next = next + 1 == words.size() ? 0 : next + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CheckWordsHunspell);

} // namespace

BENCHMARK_MAIN();
