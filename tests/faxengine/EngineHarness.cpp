#include "EngineHarness.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "TestPages.h"
#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/FaxTextRenderer.h"
#include "faximage/core/ApfFileHeader.h"
#include "faximage/core/ApfPageHeader.h"
#include "faximage/core/ApfReader.h"
#include "faximage/core/FaxLineCoder.h"

namespace enginetest {

using namespace qpfax;

void RecordingClient::SetEngine(std::shared_ptr<FaxEngine> engine) {
    std::lock_guard<std::mutex> lock(mutex_);
    engine_ = engine;
}

void RecordingClient::AddFax(FaxJob job) {
    std::lock_guard<std::mutex> lock(mutex_);
    faxes_.push_back(std::move(job));
}

void RecordingClient::SetAccept(bool accept) {
    std::lock_guard<std::mutex> lock(mutex_);
    accept_ = accept;
}

void RecordingClient::SetNameDir(const std::string& dir) {
    std::lock_guard<std::mutex> lock(mutex_);
    nameDir_ = dir;
}

bool RecordingClient::NextFax(std::string& phone, std::string& faxFile, std::string& coverFile) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (faxes_.empty()) {
        return false;
    }
    phone = faxes_.front().phone;
    faxFile = faxes_.front().faxFile;
    coverFile = faxes_.front().coverFile;
    faxes_.pop_front();
    return true;
}

std::string RecordingClient::NameFile() {
    std::lock_guard<std::mutex> lock(mutex_);
    char name[32];
    std::snprintf(name, sizeof name, "FAX%04zu.APF", named_.size() + 1);
    named_.push_back(nameDir_ + "/" + name);
    return named_.back();
}

bool RecordingClient::AcceptCall(const std::string& remoteId) {
    std::lock_guard<std::mutex> lock(mutex_);
    acceptQuestions_.push_back(remoteId);
    return accept_;
}

void RecordingClient::Status(bool first, bool last) {
    auto engine = engine_.lock();
    const int status = engine ? engine->Progress().status : 0;
    std::lock_guard<std::mutex> lock(mutex_);
    if (statuses_.empty() || statuses_.back() != status) {
        statuses_.push_back(status);
    }
    firsts_ += first ? 1 : 0;
    lasts_ += last ? 1 : 0;
    changed_.notify_all();
}

void RecordingClient::Log(int code) {
    auto engine = engine_.lock();
    FaxProgress progress = engine ? engine->Progress() : FaxProgress{};
    std::lock_guard<std::mutex> lock(mutex_);
    logs_.push_back(code);
    logProgress_.push_back(progress);
    changed_.notify_all();
}

void RecordingClient::Error(int code) {
    std::lock_guard<std::mutex> lock(mutex_);
    errors_.push_back(code);
    changed_.notify_all();
}

void RecordingClient::Finished(int code) {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = code;
    changed_.notify_all();
}

std::optional<int> RecordingClient::WaitFinished(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, limit, [this] { return finished_.has_value(); });
    return finished_;
}

bool RecordingClient::WaitStatus(int status, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
        return std::find(statuses_.begin(), statuses_.end(), status) != statuses_.end();
    });
}

std::vector<int> RecordingClient::Statuses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return statuses_;
}

std::vector<int> RecordingClient::Logs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return logs_;
}

std::vector<int> RecordingClient::Errors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

std::vector<std::string> RecordingClient::FilesNamed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return named_;
}

std::vector<std::string> RecordingClient::AcceptQuestions() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return acceptQuestions_;
}

int RecordingClient::FirstReports() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return firsts_;
}

int RecordingClient::LastReports() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lasts_;
}

std::vector<FaxProgress> RecordingClient::LogProgress() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return logProgress_;
}

int OpenPort(const std::string& device) {
    qpcomm::PortOpenRequest request;
    request.deviceName = device;
    request.inSize = 8192;
    request.outSize = 8192;
    return qpcomm::ComDispatcher::Instance().OpenPort(std::move(request));
}

namespace {

void Put16(std::vector<std::uint8_t>& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendRows(FaxRaster& target, int& y, const std::vector<std::vector<std::uint8_t>>& rows) {
    for (const auto& row : rows) {
        std::memcpy(target.Row(y++), row.data(), static_cast<std::size_t>(target.BytesPerRow()));
    }
}

FaxRaster Stack(const std::vector<std::vector<std::uint8_t>>& top, const FaxRaster* page,
                int width) {
    const int height = static_cast<int>(top.size()) + (page ? page->Height() : 0);
    FaxRaster out(width, height);
    int y = 0;
    AppendRows(out, y, top);
    if (page != nullptr) {
        for (int r = 0; r < page->Height(); ++r) {
            std::memcpy(out.Row(y++), page->Row(r), static_cast<std::size_t>(out.BytesPerRow()));
        }
    }
    return out;
}

std::vector<std::vector<std::uint8_t>> PageTop(const std::string& header, bool fine, int width) {
    std::vector<std::vector<std::uint8_t>> rows(
        8, std::vector<std::uint8_t>(static_cast<std::size_t>(width / 8), 0));
    if (!header.empty()) {
        FaxTextRenderer renderer;
        renderer.Prepare(FaxFont::ffSmall, fine, width);
        for (auto& row : renderer.RasterRows(header)) {
            row.resize(static_cast<std::size_t>(width / 8));
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

// The coded lines of a page of line records, without their two-byte lengths: the lengths
// are no part of the coded data, and fed to the decoder they break lines apart.
std::vector<std::uint8_t> RecordContents(const std::vector<std::uint8_t>& records) {
    std::vector<std::uint8_t> data;
    std::size_t at = 0;
    while (at + 2 <= records.size()) {
        const std::size_t length = records[at] | (std::size_t{records[at + 1]} << 8);
        at += 2;
        const std::size_t taken = std::min(length, records.size() - at);
        data.insert(data.end(), records.begin() + static_cast<std::ptrdiff_t>(at),
                    records.begin() + static_cast<std::ptrdiff_t>(at + taken));
        at += taken;
    }
    return data;
}

} // namespace

void WriteApf(const std::string& path, const std::vector<FaxRaster>& pages, bool fine) {
    std::vector<std::uint8_t> file;
    ApfFileHeader header;
    header.stationId = "TEST";
    header.pageCount = static_cast<std::uint16_t>(pages.size());
    const auto headerBytes = header.Serialize();
    file.insert(file.end(), headerBytes.begin(), headerBytes.end());
    FaxLineCoder coder;
    for (const FaxRaster& page : pages) {
        std::vector<std::uint8_t> data;
        std::vector<std::uint8_t> row(static_cast<std::size_t>(page.BytesPerRow()) +
                                      FaxLineCoder::RasterSlack);
        for (int y = 0; y < page.Height(); ++y) {
            std::memcpy(row.data(), page.Row(y), static_cast<std::size_t>(page.BytesPerRow()));
            const std::size_t n = coder.CodeLine(row.data(), page.Width(), 0, false);
            Put16(data, n);
            data.insert(data.end(), coder.Data(), coder.Data() + n);
        }
        const std::size_t n = coder.CodeEndOfPage();
        Put16(data, n);
        data.insert(data.end(), coder.Data(), coder.Data() + n);
        ApfPageHeader pageHeader;
        pageHeader.imageLength = static_cast<std::uint32_t>(data.size());
        pageHeader.flags = ApfPageHeader::FlagLineRecords | (fine ? ApfPageHeader::FlagFine : 0) |
                           (page.Width() == 2048 ? ApfPageHeader::FlagWide : 0);
        const auto ph = pageHeader.Serialize();
        file.insert(file.end(), ph.begin(), ph.end());
        file.insert(file.end(), data.begin(), data.end());
    }
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
}

FaxRaster ExpectedPage(const FaxRaster& page, const std::string& header, bool fine) {
    return Stack(PageTop(header, fine, page.Width()), &page, page.Width());
}

FaxRaster ExpectedCover(const std::vector<std::string>& lines, const std::string& header,
                        bool fine) {
    auto rows = PageTop(header, fine, 1728);
    FaxTextRenderer renderer;
    renderer.Prepare(FaxFont::ffStandard, fine, 1728);
    for (const std::string& line : lines) {
        for (auto& row : renderer.RasterRows(line)) {
            row.resize(1728 / 8);
            rows.push_back(std::move(row));
        }
    }
    return Stack(rows, nullptr, 1728);
}

std::vector<std::uint8_t> ApfPageData(const std::string& path, unsigned page) {
    ApfReader reader;
    if (reader.Open(path) < 0) {
        return {};
    }
    ApfPageHeader header;
    if (reader.FindPage(page, header) < 0) {
        return {};
    }
    std::vector<std::uint8_t> data(header.imageLength);
    std::size_t got = 0;
    reader.Seek(header.DataPosition());
    reader.Read(data.data(), data.size(), got);
    data.resize(got);
    return data;
}

std::vector<FaxRaster> ReadApfPages(const std::string& path, std::vector<std::uint16_t>* flags,
                                    std::string* stationId) {
    std::vector<FaxRaster> pages;
    ApfReader reader;
    if (reader.Open(path) < 0) {
        return pages;
    }
    if (stationId != nullptr) {
        *stationId = reader.Header().stationId;
    }
    for (unsigned p = 1; p <= reader.Header().pageCount; ++p) {
        ApfPageHeader header;
        if (reader.FindPage(p, header) < 0) {
            break;
        }
        if (flags != nullptr) {
            flags->push_back(header.flags);
        }
        std::vector<std::uint8_t> data = ApfPageData(path, p);
        if (header.HasLineRecords()) {
            data = RecordContents(data);
        }
        pages.push_back(testpages::Decode(data, header.LineWidth()));
    }
    return pages;
}

std::string Difference(const FaxRaster& actual, const FaxRaster& expected) {
    if (actual.Width() != expected.Width() || actual.Height() != expected.Height()) {
        return "size " + std::to_string(actual.Width()) + "x" + std::to_string(actual.Height()) +
               ", expected " + std::to_string(expected.Width()) + "x" +
               std::to_string(expected.Height());
    }
    for (int y = 0; y < actual.Height(); ++y) {
        if (std::memcmp(actual.Row(y), expected.Row(y),
                        static_cast<std::size_t>(actual.BytesPerRow())) != 0) {
            return "row " + std::to_string(y) + " differs";
        }
    }
    return {};
}

FaxEngineOptions TestOptions(TFaxClass faxClass) {
    FaxEngineOptions o;
    o.faxClass = faxClass;
    o.stationId = "QP Test";
    o.desiredBps = 14400;
    o.responseWaitTicks = 55; // 3 s: the emulated modem answers within milliseconds
    o.dialWaitTicks = 182;
    o.dialRetryWaitTicks = 18;
    return o;
}

} // namespace enginetest
