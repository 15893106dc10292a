// "qpx fax … --test-line": a send to the built-in test line's fax machine, which keeps the
// fax in the data folder's testline/; a receive, for which the machine calls at once with
// its two-page sample fax; a number the line refuses; and a qpx killed while the machine
// is calling, which must leave no helper process and no link behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include "EngineHarness.h"
#include "TestPages.h"
#include "TestPaths.h"

namespace fs = std::filesystem;
using namespace enginetest;
using namespace std::chrono_literals;

namespace {

std::string Qpx() {
    return (qptest::BinaryDir() / "bin" / "qpx").string();
}

int RunQpx(const std::string& args, std::string& output) {
    output.clear();
    return qptest::RunCommand(Qpx() + " fax " + args + " 2>&1", &output);
}

std::vector<fs::path> FilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ignored;
    for (fs::directory_iterator it(folder, ignored), end; !ignored && it != end; ++it) {
        files.push_back(it->path());
    }
    return files;
}

// Links and helpers of test lines that processes of this test started (the temporary
// folder is the test's own, see SetUp).
std::vector<fs::path> LeftoverLinks() {
    std::vector<fs::path> links;
    for (const fs::path& file : FilesIn(fs::temp_directory_path())) {
        if (file.filename().string().rfind("quillpost-testline-", 0) == 0) {
            links.push_back(file);
        }
    }
    return links;
}

// The faxsim child of process `parent`, or -1.
pid_t HelperOf(pid_t parent) {
    std::string output;
    if (qptest::RunCommand("pgrep -P " + std::to_string(parent) + " -x faxsim", &output) != 0) {
        return -1;
    }
    return static_cast<pid_t>(std::atoi(output.c_str()));
}

// Gone, or a zombie nobody has collected yet (it has ended all the same).
bool ProcessEnded(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) {
        return true;
    }
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z';
}

class QpxTestLine : public ::testing::Test {
protected:
    void SetUp() override {
        // A temporary folder of the test's own, so that leftovers can be counted.
        temp_ = std::make_unique<qptest::ScratchDir>("tmp");
        ::setenv("TMPDIR", temp_->path().c_str(), 1);
        std::error_code ignored;
        fs::remove_all(qptest::DataDir() / "testline", ignored);
    }
    void TearDown() override {
        EXPECT_TRUE(LeftoverLinks().empty());
        ::unsetenv("TMPDIR");
    }
    std::unique_ptr<qptest::ScratchDir> temp_;
};

} // namespace

TEST_F(QpxTestLine, SendIsKeptByTheTestMachine) {
    const FaxRaster page = testpages::Pattern(1728, 60, 7);
    qptest::ScratchDir dir("send");
    WriteApf(dir.file("fax.apf"), {page}, false);
    std::string output;
    EXPECT_EQ(RunQpx("send --test-line --number 5551 --class 1 --station 'QPX TEST' " +
                         dir.file("fax.apf"),
                     output),
              0)
        << output;
    EXPECT_NE(output.find("result 0 "), std::string::npos) << output;
    const auto kept = FilesIn(qptest::DataDir() / "testline");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].extension(), ".tif");
    EXPECT_EQ(kept[0].filename().string().rfind("rx-", 0), 0u) << kept[0];
    const auto received = testpages::ReadTiff(kept[0].string());
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(Difference(received[0], ExpectedPage(page, "", false)), "");
}

TEST_F(QpxTestLine, NumberWithoutDialToneFailsAndKeepsNothing) {
    const FaxRaster page = testpages::Pattern(1728, 20, 3);
    qptest::ScratchDir dir("nodialtone");
    WriteApf(dir.file("fax.apf"), {page}, false);
    std::string output;
    EXPECT_NE(RunQpx("send --test-line --number 5558 --class 1 " + dir.file("fax.apf"), output), 0)
        << output;
    EXPECT_EQ(output.find("result 0 "), std::string::npos) << output;
    EXPECT_TRUE(FilesIn(qptest::DataDir() / "testline").empty());
}

TEST_F(QpxTestLine, ReceiveGetsTheSampleFax) {
    qptest::ScratchDir dir("receive");
    std::string output;
    EXPECT_EQ(RunQpx("receive --test-line --class 1 --dir " + dir.path().string(), output), 0)
        << output;
    const auto pages = ReadApfPages(dir.file("FAX0001.APF"), nullptr);
    ASSERT_EQ(pages.size(), 2u) << output;
    const auto sample = testpages::ReadTiff((qptest::BinaryDir() / "bin" / "testfax.tif").string());
    ASSERT_EQ(sample.size(), 2u);
    for (std::size_t p = 0; p < 2; ++p) {
        EXPECT_EQ(Difference(pages[p], sample[p]), "") << "page " << p + 1;
        const auto& bits = sample[p].Bits();
        EXPECT_GT(std::count_if(bits.begin(), bits.end(), [](std::uint8_t b) { return b != 0; }),
                  500)
            << "page " << p + 1 << " is not blank";
    }
}

TEST_F(QpxTestLine, KilledWhileTheMachineCallsLeavesNothingBehind) {
    qptest::ScratchDir dir("killed");
    const pid_t qpx = ::fork();
    ASSERT_GE(qpx, 0);
    if (qpx == 0) {
        const std::string folder = dir.path().string();
        ::execl(Qpx().c_str(), "qpx", "fax", "receive", "--test-line", "--class", "1", "--dir",
                folder.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Wait until the line exists and the machine is calling.
    bool calling = false;
    for (int i = 0; i < 200 && !calling; ++i) {
        std::this_thread::sleep_for(50ms);
        calling = !LeftoverLinks().empty();
    }
    ASSERT_TRUE(calling);
    std::this_thread::sleep_for(3s);
    const pid_t helper = HelperOf(qpx);
    ASSERT_GT(helper, 0);
    ::kill(qpx, SIGKILL);
    ::waitpid(qpx, nullptr, 0);
    bool clean = false;
    for (int i = 0; i < 200 && !clean; ++i) {
        std::this_thread::sleep_for(50ms);
        clean = LeftoverLinks().empty() && ProcessEnded(helper);
    }
    EXPECT_TRUE(clean);
}
