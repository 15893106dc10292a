// Several programs share one user word list: writers running at once, writers killed in
// the middle of an add, a disk that fills up. Whatever happens, every word an add
// confirmed stays in the list.
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "SpellTestLists.h"
#include "TestPaths.h"
#include "WriterProcess.h"
#include "spell/core/TZizadSpell.h"

namespace {

using spelltest::WriterProcess;
using namespace std::chrono_literals;

class UserListProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(WriterProcess::Program()))
            << "build spell_list_writer first: " << WriterProcess::Program();
    }

    std::string WordFile(const std::string& name, const std::vector<std::string>& words) {
        const std::string path = scratch.file(name);
        spelltest::WriteWordFile(path, words);
        return path;
    }

    // Opens the list with a fresh engine and lists the words it does not know.
    static std::vector<std::string> Missing(const std::string& list,
                                            const std::vector<std::string>& words) {
        TZizadSpell speller;
        std::vector<std::string> missing;
        if (speller.OpenUserList(list) < 0) {
            return words;
        }
        for (const auto& word : words) {
            if (!speller.CheckWord(word)) {
                missing.push_back(word);
            }
        }
        return missing;
    }

    // True when a fresh engine finds the list damaged (and so repairs it).
    static bool FoundDamaged(const std::string& list) {
        TZizadSpell speller;
        speller.OpenUserList(list);
        return !speller.TakeUserListRepairs().empty();
    }

    static std::string Join(const std::vector<std::string>& words) {
        std::string text;
        for (std::size_t i = 0; i < words.size() && i < 20; ++i) {
            text += words[i] + " ";
        }
        return text + (words.size() > 20 ? "..." : "");
    }

    qptest::ScratchDir scratch{"userlist-processes"};
    std::string list = scratch.file("qpxu.dct");
};

// Two programs adding 200 words each at the same time, to a list that already holds
// words: all 400 and the earlier ones are known afterwards.
TEST_F(UserListProcessTest, TwoWritersAtOnceLoseNoWord) {
    const auto earlier = spelltest::RandomWords(1, 60);
    {
        TZizadSpell speller;
        ASSERT_GE(speller.CreateUserList(list, earlier), 0);
    }
    const auto first = spelltest::RandomWords(2, 200, earlier);
    auto avoid = earlier;
    avoid.insert(avoid.end(), first.begin(), first.end());
    const auto second = spelltest::RandomWords(3, 200, avoid);

    WriterProcess one(list, WordFile("first.txt", first));
    WriterProcess two(list, WordFile("second.txt", second));
    ASSERT_TRUE(one.Started() && two.Started());
    EXPECT_EQ(one.Wait(90s), 0) << one.Output();
    EXPECT_EQ(two.Wait(90s), 0) << two.Output();
    EXPECT_EQ(one.Added().size(), 200u);
    EXPECT_EQ(two.Added().size(), 200u);

    avoid.insert(avoid.end(), second.begin(), second.end());
    avoid.push_back("a");
    const auto missing = Missing(list, avoid);
    EXPECT_TRUE(missing.empty()) << missing.size() << " words lost: " << Join(missing);
    EXPECT_FALSE(FoundDamaged(list));
}

// Two programs that both find no list create it at the same moment; neither may wipe
// the list the other just made (or the words it already added).
TEST_F(UserListProcessTest, TwoWritersCreatingTheListAtOnce) {
    for (int round = 0; round < 6; ++round) {
        const std::string fresh = scratch.file("new" + std::to_string(round) + ".dct");
        const auto first = spelltest::RandomWords(100 + round, 25);
        const auto second = spelltest::RandomWords(200 + round, 25, first);
        WriterProcess one(fresh, WordFile("a.txt", first));
        WriterProcess two(fresh, WordFile("b.txt", second));
        EXPECT_EQ(one.Wait(60s), 0) << one.Output();
        EXPECT_EQ(two.Wait(60s), 0) << two.Output();
        auto all = first;
        all.insert(all.end(), second.begin(), second.end());
        const auto missing = Missing(fresh, all);
        EXPECT_TRUE(missing.empty())
            << "round " << round << ": " << missing.size() << " words lost: " << Join(missing);
    }
}

// A writer killed (SIGKILL) at a random moment while it adds words, twenty times over:
// every word confirmed before, in this round or an earlier one, is still known. The
// seed fixes the kill points' schedule so that a failure can be rerun.
TEST_F(UserListProcessTest, WritersKilledAtRandomPointsLoseNoConfirmedWord) {
    const unsigned seed = 20240607;
    std::mt19937 random(seed);
    std::vector<std::string> confirmed = spelltest::RandomWords(seed, 80);
    {
        TZizadSpell speller;
        ASSERT_GE(speller.CreateUserList(list, confirmed), 0);
    }
    confirmed.push_back("a");
    int killedMidway = 0;
    for (int round = 0; round < 20; ++round) {
        const auto words = spelltest::RandomWords(seed + 1 + round, 400, confirmed);
        const std::size_t before = 1 + random() % 6;
        const auto pause = std::chrono::microseconds(random() % 4000);
        WriterProcess writer(list, WordFile("round.txt", words));
        ASSERT_TRUE(writer.WaitForAdds(before, 30s)) << "round " << round << writer.Output();
        std::this_thread::sleep_for(pause);
        writer.Kill();
        killedMidway += writer.DiedFromSignal() ? 1 : 0;
        confirmed.insert(confirmed.end(), writer.Added().begin(), writer.Added().end());

        const auto missing = Missing(list, confirmed);
        ASSERT_TRUE(missing.empty())
            << "seed " << seed << ", round " << round << " (killed " << pause.count()
            << " us after add " << before << "): " << missing.size()
            << " confirmed words lost: " << Join(missing);
        ASSERT_FALSE(FoundDamaged(list)) << "seed " << seed << ", round " << round;
    }
    EXPECT_GT(killedMidway, 15);
    // A killed writer leaves at most its temporary file, which the next one reuses.
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "qpxu.dct" || name == "qpxu.dct.tmp" || name == "round.txt") << name;
    }
}

// A disk that fills up in the middle of an add: the word is refused, the list on disk
// is exactly what it was and no half-written file is left behind.
TEST_F(UserListProcessTest, FullDiskRefusesTheWordAndKeepsTheList) {
    const auto earlier = spelltest::RandomWords(5, 150);
    {
        TZizadSpell speller;
        ASSERT_GE(speller.CreateUserList(list, earlier), 0);
    }
    const std::string before = spelltest::ReadFileBytes(list);
    const auto more = spelltest::RandomWords(6, 5, earlier);
    const std::string words = WordFile("more.txt", more);
    WriterProcess writer(list, words, {"--file-size-limit", std::to_string(before.size() / 2)});
    EXPECT_EQ(writer.Wait(30s), 1) << writer.Output();
    EXPECT_TRUE(writer.Added().empty()) << writer.Output();
    EXPECT_EQ(writer.Refused().size(), more.size());
    EXPECT_TRUE(spelltest::ReadFileBytes(list) == before) << "the list was changed";
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "qpxu.dct" || name == "more.txt") << "left behind: " << name;
    }
    const auto missing = Missing(list, earlier);
    EXPECT_TRUE(missing.empty()) << missing.size() << " words lost: " << Join(missing);
}

} // namespace
