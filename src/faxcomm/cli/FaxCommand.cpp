#include "faxcomm/cli/FaxCommand.h"

#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>

#include "common/DataFolder.h"
#include "common/ErrorText.h"
#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/FaxReceiveEngine.h"
#include "faxcomm/core/FaxSendEngine.h"
#include "faxcomm/core/ModemCommander.h"
#include "faxcomm/core/PortDeviceName.h"
#include "faxcomm/core/TestLine.h"

using namespace qpfax;

namespace {

struct FaxOptions {
    std::string subcommand;
    std::optional<int> port;
    std::string device;
    std::string number;
    std::string file;
    std::string cover;
    std::string header;
    std::string dir;
    std::string station = "QPX";
    TFaxClass faxClass = fcDetect;
    bool one = false;
    bool testLine = false;
};

void Usage(std::ostream& out) {
    out << "usage: qpx fax classes [--port N | --device PATH | --test-line]\n"
           "       qpx fax send --device PATH|--test-line --number N [--class 1|2|2.0|detect] "
           "FILE.apf [--cover FILE] [--header TEXT] [--station ID]\n"
           "       qpx fax receive --device PATH --dir DIR [--class 1|2|2.0|detect] [--one] "
           "[--station ID]\n"
           "       qpx fax receive --test-line [--dir DIR] [--class 1|2|2.0|detect] "
           "[--station ID]\n"
           "--test-line: the built-in test line. Its fax machine keeps what it receives in "
           "the data folder's testline/; numbers ending in 0 are busy, 9 not answered, 8 "
           "find no dial tone, 1 to 7 ring that often. A receive makes it call at once and "
           "ends after one fax (default folder: the data folder's receive/).\n";
}

bool ParseClass(const std::string& text, TFaxClass& faxClass) {
    if (text == "2") {
        faxClass = fcClass2;
    } else if (text == "2.0") {
        faxClass = fcClass2_0;
    } else if (text == "1") {
        faxClass = fcClass1;
    } else if (text == "detect") {
        faxClass = fcDetect;
    } else {
        return false;
    }
    return true;
}

bool Parse(const std::vector<std::string>& args, FaxOptions& o) {
    if (args.empty()) {
        return false;
    }
    o.subcommand = args[0];
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        try {
            if (arg == "--port" && hasValue) {
                o.port = std::stoi(args[++i]);
            } else if (arg == "--device" && hasValue) {
                o.device = args[++i];
            } else if (arg == "--number" && hasValue) {
                o.number = args[++i];
            } else if (arg == "--cover" && hasValue) {
                o.cover = args[++i];
            } else if (arg == "--header" && hasValue) {
                o.header = args[++i];
            } else if (arg == "--dir" && hasValue) {
                o.dir = args[++i];
            } else if (arg == "--station" && hasValue) {
                o.station = args[++i];
            } else if (arg == "--class" && hasValue) {
                if (!ParseClass(args[++i], o.faxClass)) {
                    return false;
                }
            } else if (arg == "--one") {
                o.one = true;
            } else if (arg == "--test-line") {
                o.testLine = true;
            } else if (arg.rfind("--", 0) == 0 || !o.file.empty()) {
                return false;
            } else {
                o.file = arg;
            }
        } catch (const std::exception&) {
            return false;
        }
    }
    if (o.testLine) {
        if (!o.device.empty() || o.port) {
            return false;
        }
        o.device = qpcomm::TestLineDeviceName;
        if (o.subcommand == "receive") {
            o.one = true;
            if (o.dir.empty()) {
                o.dir = DataFolder() + "receive";
            }
        }
    }
    if (o.subcommand == "classes") {
        return o.file.empty();
    }
    if (o.subcommand == "send") {
        return !o.number.empty() && (!o.file.empty() || !o.cover.empty());
    }
    return o.subcommand == "receive" && !o.dir.empty() && o.file.empty();
}

std::string Wording(int code) {
    return qp::ErrorTextOr(code, "Error " + std::to_string(code));
}

// Prints what the engine reports, one line each, and answers its questions.
class PrintingClient final : public FaxClient {
public:
    explicit PrintingClient(const FaxOptions& options) : options_(options) {}
    void SetEngine(FaxEngine* engine) { engine_ = engine; }

    bool NextFax(std::string& phone, std::string& faxFile, std::string& coverFile) override {
        if (asked_) {
            return false;
        }
        asked_ = true;
        phone = options_.number;
        faxFile = options_.file;
        coverFile = options_.cover;
        return true;
    }
    std::string NameFile() override {
        char name[16];
        for (int n = 1; n <= 9999; ++n) {
            std::snprintf(name, sizeof name, "FAX%04d.APF", n);
            const std::string path = (std::filesystem::path(options_.dir) / name).string();
            if (!std::filesystem::exists(path)) {
                return path;
            }
        }
        return (std::filesystem::path(options_.dir) / "NONAME.APF").string();
    }
    bool AcceptCall(const std::string&) override { return true; }
    void Status(bool, bool) override {
        const FaxProgress p = engine_->Progress();
        if (p.status == lastStatus_ && p.currentPage == lastPage_) {
            return;
        }
        lastStatus_ = p.status;
        lastPage_ = p.currentPage;
        std::string line =
            "status " + std::to_string(p.status) + " " + qp::StatusText(p.status).value_or("");
        if (p.status == fsSendingPage || p.status == fsGettingPage) {
            line += " (page " + std::to_string(p.currentPage) + ")";
        }
        if (p.status == fsGotRemoteId) {
            line += " (" + p.remoteId + ")";
        }
        Print(line);
    }
    void Log(int code) override {
        const FaxProgress p = engine_->Progress();
        std::string line = "log " + std::to_string(code);
        if (code == flReceiveStarted) {
            line += " " + p.faxFile;
        }
        Print(line);
    }
    void Error(int code) override { Print("error " + std::to_string(code) + " " + Wording(code)); }
    void Finished(int code) override {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = code;
        done_.notify_all();
    }
    int WaitFinished() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!finished_) {
            done_.wait_for(lock, std::chrono::milliseconds(100));
            if (Interrupted() && engine_ != nullptr && !abortSent_) {
                abortSent_ = true;
                engine_->Abort();
            }
        }
        return *finished_;
    }
    static bool Interrupted();

private:
    void Print(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::cout << line << std::endl;
    }

    const FaxOptions& options_;
    FaxEngine* engine_ = nullptr;
    bool asked_ = false;
    bool abortSent_ = false;
    int lastStatus_ = -1;
    int lastPage_ = -1;
    std::mutex mutex_;
    std::condition_variable done_;
    std::optional<int> finished_;
};

volatile std::sig_atomic_t gInterrupted = 0;

bool PrintingClient::Interrupted() {
    return gInterrupted != 0;
}

int OpenDevice(const FaxOptions& o) {
    qpcomm::PortOpenRequest request;
    request.deviceName =
        o.device.empty() ? qpcomm::DeviceNameForPort(o.port.value_or(1)) : o.device;
    request.inSize = 8192;
    request.outSize = 8192;
    return qpcomm::ComDispatcher::Instance().OpenPort(std::move(request));
}

int RunClasses(int slot) {
    ModemCommander commander(slot, 182);
    const FaxClassSet classes = commander.QueryClasses(false, {});
    if (classes == 0) {
        std::cout << "no fax classes\n";
        return 1;
    }
    if (classes & ClassBit(fcClass1)) {
        std::cout << "1\n";
    }
    if (classes & ClassBit(fcClass2)) {
        std::cout << "2\n";
    }
    if (classes & ClassBit(fcClass2_0)) {
        std::cout << "2.0\n";
    }
    return 0;
}

int RunSession(const FaxOptions& o, int slot) {
    FaxEngineOptions options;
    options.faxClass = o.faxClass;
    options.stationId = o.station;
    options.headerLine = o.header;
    options.oneFax = o.one;
    options.constantStatus = true;
    options.desiredBps = 14400;
    PrintingClient client(o);
    std::shared_ptr<FaxEngine> engine;
    if (o.subcommand == "send") {
        engine = std::make_shared<FaxSendEngine>(client, options);
    } else {
        engine = std::make_shared<FaxReceiveEngine>(client, options);
    }
    client.SetEngine(engine.get());
    std::signal(SIGINT, [](int) { gInterrupted = 1; });
    std::signal(SIGTERM, [](int) { gInterrupted = 1; });
    int result = engine->Start(slot);
    if (result == 0 && o.testLine && o.subcommand == "receive" &&
        !qpcomm::TestLine::CallFromRunningLine()) {
        result = -2001;
    }
    if (result == 0) {
        result = client.WaitFinished();
    }
    engine->Stop();
    std::cout << "result " << result << " " << Wording(result) << std::endl;
    return result == 0 ? 0 : 1;
}

} // namespace

int QpxFax(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        Usage(std::cout);
        return 0;
    }
    FaxOptions options;
    if (!Parse(args, options)) {
        Usage(std::cerr);
        return 2;
    }
    if (options.testLine && options.subcommand == "receive") {
        std::error_code ignored;
        std::filesystem::create_directories(options.dir, ignored);
    }
    const int slot = OpenDevice(options);
    if (slot <= 0) {
        std::cerr << "qpx fax: " << Wording(slot) << "\n";
        return 1;
    }
    const int status =
        options.subcommand == "classes" ? RunClasses(slot) : RunSession(options, slot);
    qpcomm::ComDispatcher::Instance().ClosePort(slot);
    return status;
}
