#include <gtest/gtest.h>

#include <filesystem>

#include "Emulator.h"
#include "EngineHarness.h"
#include "TestPages.h"
#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/FaxReceiveEngine.h"
#include "faximage/core/ApfPageHeader.h"

using namespace qpfax;
using namespace enginetest;
using namespace std::chrono_literals;

namespace {

// One receive session on the emulated modem, files written into the scratch folder.
struct ReceiveRun {
    Emulator modem;
    RecordingClient client;
    std::shared_ptr<FaxReceiveEngine> engine;
    int slot = 0;
    std::vector<FaxRaster> doc1;
    std::vector<FaxRaster> doc2;

    // Starts the modem with two documents to send (2 pages and 1 page).
    bool Open(bool fine, std::vector<std::string> extra = {}) {
        doc1 = {testpages::Pattern(1728, 70, 11), testpages::Pattern(1728, 50, 12)};
        doc2 = {testpages::Pattern(1728, 40, 13)};
        const std::string d1 = modem.File("doc1.tif");
        const std::string d2 = modem.File("doc2.tif");
        if (!testpages::WriteTiff(d1, doc1, fine) || !testpages::WriteTiff(d2, doc2, fine)) {
            return false;
        }
        std::vector<std::string> args = {"--tx-tiff", d1 + "," + d2, "--time-factor",
                                         "20",        "--remote-id", "CALLER 42"};
        args.insert(args.end(), extra.begin(), extra.end());
        if (!modem.Start(args)) {
            return false;
        }
        client.SetNameDir(std::filesystem::path(d1).parent_path().string());
        slot = OpenPort(modem.Device());
        return slot > 0;
    }
    int Start(FaxEngineOptions options) {
        engine = std::make_shared<FaxReceiveEngine>(client, std::move(options));
        client.SetEngine(engine);
        return engine->Start(slot);
    }
    // Waits for the engine to wait for calls, then lets the far end call.
    bool Ring() { return client.WaitStatus(fsWaitingForCall, 10s) && modem.Send("ring"); }
    std::optional<int> Finish(std::chrono::milliseconds limit = 30s) {
        auto code = client.WaitFinished(limit);
        if (engine) {
            engine->Stop();
        }
        return code;
    }
    ~ReceiveRun() {
        if (::testing::Test::HasFailure()) {
            for (const auto& line : modem.EventsSoFar("")) {
                std::fprintf(stderr, "  modem: %s\n", line.c_str());
            }
        }
        if (engine) {
            engine->Stop();
            engine.reset();
        }
        if (slot > 0) {
            qpcomm::ComDispatcher::Instance().ClosePort(slot);
        }
    }
};

// The file's size is exactly its header and whole pages: nothing half-written is left.
std::uintmax_t ExpectedSize(const std::string& path, unsigned pages) {
    std::uintmax_t size = 64;
    for (unsigned p = 1; p <= pages; ++p) {
        size += 16 + ApfPageData(path, p).size();
    }
    return size;
}

class FaxEngineReceive : public ::testing::TestWithParam<TFaxClass> {};

} // namespace

TEST_P(FaxEngineReceive, TwoDocumentsBecomeTwoFilesEqualToTheCallersPages) {
    // A call with two documents (2 + 1 fine pages): one APF file per document, the
    // caller's ID, fine flags, raw pages that decode to the caller's own pages (Class 2
    // data comes bit-reversed from the modem and is stored turned round).
    ReceiveRun run;
    ASSERT_TRUE(run.Open(true));
    FaxEngineOptions options = TestOptions(GetParam());
    options.oneFax = true;
    ASSERT_EQ(run.Start(options), 0);
    ASSERT_TRUE(run.Ring());
    EXPECT_EQ(run.Finish(), 0);

    EXPECT_EQ(run.client.Logs(), (std::vector<int>{flReceiveStarted, flReceiveFinished,
                                                   flReceiveStarted, flReceiveFinished}));
    EXPECT_EQ(run.client.Errors(), std::vector<int>{});
    EXPECT_EQ(run.client.AcceptQuestions(), std::vector<std::string>{"CALLER 42"});
    EXPECT_EQ(run.client.LogProgress().front().remoteId, "CALLER 42");
    const auto files = run.client.FilesNamed();
    ASSERT_EQ(files.size(), 2u);
    const std::vector<FaxRaster>* docs[] = {&run.doc1, &run.doc2};
    for (std::size_t f = 0; f < files.size(); ++f) {
        std::vector<std::uint16_t> flags;
        std::string station;
        const auto pages = ReadApfPages(files[f], &flags, &station);
        ASSERT_EQ(pages.size(), docs[f]->size()) << files[f];
        EXPECT_EQ(station, "CALLER 42           ");
        for (std::size_t p = 0; p < pages.size(); ++p) {
            EXPECT_EQ(flags[p], ApfPageHeader::FlagFine);
            EXPECT_EQ(Difference(pages[p], (*docs[f])[p]), "") << files[f] << " page " << p + 1;
        }
        EXPECT_EQ(std::filesystem::file_size(files[f]),
                  ExpectedSize(files[f], static_cast<unsigned>(pages.size())));
    }
    const auto statuses = run.client.Statuses();
    for (int s : {fsWaitingForCall, fsAnswering, fsCallValidated, fsGotRemoteId, fsGettingPage,
                  fsGettingEndOfPage, fsGettingEndOfDocument, fsGettingHangup}) {
        EXPECT_NE(std::find(statuses.begin(), statuses.end(), s), statuses.end()) << s;
    }
}

TEST_P(FaxEngineReceive, APageReportedBadIsCutBackAndTheResentPageKept) {
    // The modem reports the first page bad: it is cut off the file, the far end sends it
    // again, and the file ends up with exactly the caller's pages.
    ReceiveRun run;
    ASSERT_TRUE(run.Open(false, {"--fault", "rtn:1"}));
    FaxEngineOptions options = TestOptions(GetParam());
    options.oneFax = true;
    ASSERT_EQ(run.Start(options), 0);
    ASSERT_TRUE(run.Ring());
    EXPECT_EQ(run.Finish(), 0);
    ASSERT_TRUE(run.modem.Event("call end", 10s));
    EXPECT_EQ(run.modem.EventsSoFar("page-sent 1 ").size(), 2u) << "page 1 is sent twice";
    const auto files = run.client.FilesNamed();
    ASSERT_EQ(files.size(), 2u);
    std::vector<std::uint16_t> flags;
    const auto pages = ReadApfPages(files[0], &flags);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(Difference(pages[0], run.doc1[0]), "");
    EXPECT_EQ(Difference(pages[1], run.doc1[1]), "");
    EXPECT_EQ(flags[0], 0);
    EXPECT_EQ(std::filesystem::file_size(files[0]), ExpectedSize(files[0], 2));
}

TEST_P(FaxEngineReceive, ARefusedCallLeavesNoFileAndLogsSkipped) {
    // The component refuses the caller: the call is killed, no file is made, log code 6.
    ReceiveRun run;
    ASSERT_TRUE(run.Open(false));
    run.client.SetAccept(false);
    FaxEngineOptions options = TestOptions(GetParam());
    options.exitOnError = true;
    ASSERT_EQ(run.Start(options), 0);
    ASSERT_TRUE(run.Ring());
    EXPECT_EQ(run.Finish(), feFileRejected);
    EXPECT_EQ(run.client.Logs(), std::vector<int>{flReceiveSkipped});
    EXPECT_EQ(run.client.Errors(), std::vector<int>{feFileRejected});
    EXPECT_TRUE(run.client.FilesNamed().empty());
    EXPECT_TRUE(run.modem.Event("cmd AT+FKS", 5s));
    const auto left = std::filesystem::directory_iterator(
        std::filesystem::path(run.modem.File("doc1.tif")).parent_path());
    for (const auto& entry : left) {
        EXPECT_NE(entry.path().extension(), ".APF") << entry.path();
    }
}

TEST_P(FaxEngineReceive, AHangUpMidPageLeavesOnlyWholePages) {
    // The line is lost halfway through page 2: the file keeps page 1 and nothing of
    // page 2, the fax is logged as failed, and the session waits for the next call.
    ReceiveRun run;
    ASSERT_TRUE(run.Open(false, {"--fault", "cut:2"}));
    ASSERT_EQ(run.Start(TestOptions(GetParam())), 0);
    ASSERT_TRUE(run.Ring());
    ASSERT_TRUE(run.modem.Event("fault cut", 10s));
    // Back to waiting for calls after the failed one.
    ASSERT_TRUE(run.client.WaitStatus(fsGettingPage, 10s));
    for (int i = 0; i < 200; ++i) {
        const auto logs = run.client.Logs();
        if (!logs.empty() && logs.back() == flReceiveFailed) {
            break;
        }
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(run.client.Logs(), (std::vector<int>{flReceiveStarted, flReceiveFailed}));
    const auto errors = run.client.Errors();
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.front(), feMidSession);
    EXPECT_EQ(run.engine->Progress().hangupCode, GetParam() == fcClass2 ? 91 : 0x91);
    const auto files = run.client.FilesNamed();
    ASSERT_EQ(files.size(), 1u);
    std::vector<std::uint16_t> flags;
    const auto pages = ReadApfPages(files[0], &flags);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(Difference(pages[0], run.doc1[0]), "");
    EXPECT_EQ(std::filesystem::file_size(files[0]), ExpectedSize(files[0], 1));
    // The session goes on: it waits for the next call until it is cancelled.
    ASSERT_TRUE(run.client.WaitStatus(fsWaitingForCall, 15s));
    run.engine->Abort();
    EXPECT_EQ(run.Finish(15s), feCancelRequested);
}

TEST(FaxEngineReceiveRings, AnswersOnTheRingItIsToldTo) {
    // With AnswerOnRing 3 the call is answered after the third RING, not before.
    ReceiveRun run;
    ASSERT_TRUE(run.Open(false));
    FaxEngineOptions options = TestOptions(fcClass2);
    options.answerOnRing = 3;
    options.oneFax = true;
    ASSERT_EQ(run.Start(options), 0);
    ASSERT_TRUE(run.Ring());
    EXPECT_EQ(run.Finish(60s), 0);
    ASSERT_TRUE(run.modem.Event("call end", 10s));
    const auto lines = run.modem.EventsSoFar("");
    const auto ata = std::find(lines.begin(), lines.end(), "cmd ATA");
    ASSERT_NE(ata, lines.end());
    EXPECT_EQ(std::count_if(lines.begin(), ata,
                            [](const std::string& l) { return l.rfind("ring ", 0) == 0; }),
              3);
}

INSTANTIATE_TEST_SUITE_P(Classes, FaxEngineReceive, ::testing::Values(fcClass2, fcClass2_0));
