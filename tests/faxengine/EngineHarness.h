#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "faxcomm/core/FaxClient.h"
#include "faxcomm/core/FaxEngine.h"
#include "faximage/core/FaxRaster.h"

// What the fax engine tests need around a session: a recording client, the port on the
// emulated modem, APF files made from test pages and the pages a send should produce.
namespace enginetest {

// One fax of a send run.
struct FaxJob {
    std::string phone;
    std::string faxFile;
    std::string coverFile;
};

// A FaxClient that records what the engine tells it (status codes as the engine's
// progress shows them at each report, log codes, errors, the finish code) and answers
// from a queue of faxes, a fixed decision and generated file names. Thread-safe.
class RecordingClient final : public qpfax::FaxClient {
public:
    void SetEngine(std::shared_ptr<qpfax::FaxEngine> engine);
    void AddFax(FaxJob job);
    void SetAccept(bool accept);
    void SetNameDir(const std::string& dir);

    bool NextFax(std::string& phone, std::string& faxFile, std::string& coverFile) override;
    std::string NameFile() override;
    bool AcceptCall(const std::string& remoteId) override;
    void Status(bool first, bool last) override;
    void Log(int code) override;
    void Error(int code) override;
    void Finished(int code) override;

    // Waits for the finish message; its code, or nothing within `limit`.
    std::optional<int> WaitFinished(std::chrono::milliseconds limit);
    // Waits until the engine has reported `status`.
    bool WaitStatus(int status, std::chrono::milliseconds limit);
    std::vector<int> Statuses() const;
    std::vector<int> Logs() const;
    std::vector<int> Errors() const;
    std::vector<std::string> FilesNamed() const;
    std::vector<std::string> AcceptQuestions() const;
    int FirstReports() const;
    int LastReports() const;
    // Progress values at the time of each log entry.
    std::vector<qpfax::FaxProgress> LogProgress() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::weak_ptr<qpfax::FaxEngine> engine_;
    std::deque<FaxJob> faxes_;
    bool accept_ = true;
    std::string nameDir_;
    std::vector<int> statuses_;
    std::vector<int> logs_;
    std::vector<qpfax::FaxProgress> logProgress_;
    std::vector<int> errors_;
    std::vector<std::string> named_;
    std::vector<std::string> acceptQuestions_;
    int firsts_ = 0;
    int lasts_ = 0;
    std::optional<int> finished_;
};

// Opens the device as the fax components do (8192-byte queues); the slot or an error.
int OpenPort(const std::string& device);

// Writes an APF file of line-record pages, as the converter makes them.
void WriteApf(const std::string& path, const std::vector<FaxRaster>& pages, bool fine);
// The page the far end should see when `page` is sent after the 8 white lines and, when
// `header` is not empty, the header line rendered with the small font.
FaxRaster ExpectedPage(const FaxRaster& page, const std::string& header, bool fine);
// The page a text cover of these lines becomes (standard font), with the page top.
FaxRaster ExpectedCover(const std::vector<std::string>& lines, const std::string& header,
                        bool fine);
// The pages of an APF file as our decoder reads them (raw or line records).
std::vector<FaxRaster> ReadApfPages(const std::string& path, std::vector<std::uint16_t>* flags,
                                    std::string* stationId = nullptr);
// The raw data of page `page` (from 1) of an APF file.
std::vector<std::uint8_t> ApfPageData(const std::string& path, unsigned page);

// Empty when the rasters are equal, else where they first differ.
std::string Difference(const FaxRaster& actual, const FaxRaster& expected);

// Engine options for tests: Class 2 or 2.0, a short response wait, the fast modem.
qpfax::FaxEngineOptions TestOptions(qpfax::TFaxClass faxClass);

} // namespace enginetest
