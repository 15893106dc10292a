#include "Class1Line.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#include "TestPages.h"
#include "TestPaths.h"
#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/ModemCommander.h"

using namespace qpfax;
using namespace std::chrono_literals;

namespace enginetest {

std::string Field(const std::string& event, const std::string& key) {
    const std::string wanted = " " + key + "=";
    const std::size_t at = event.find(wanted);
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t start = at + wanted.size();
    if (start < event.size() && event[start] == '"') {
        const std::size_t end = event.find('"', start + 1);
        return event.substr(start + 1, end == std::string::npos ? end : end - start - 1);
    }
    return event.substr(start, event.find(' ', start) - start);
}

FaxEngineOptions Class1Options() {
    FaxEngineOptions o;
    o.faxClass = fcClass1;
    o.stationId = "QP TEST 1";
    o.desiredBps = 14400;
    o.responseWaitTicks = 182; // 10 s: the far end's frames take seconds on the line
    o.dialWaitTicks = 1092;
    o.dialRetryWaitTicks = 18;
    return o;
}

std::vector<int> DcsRates(Class1Line& line) {
    std::vector<int> rates;
    for (const std::string& event : line.Events("frame tx DCS ")) {
        rates.push_back(std::stoi(event.substr(13 + 8, 2), nullptr, 16) & 0x3C);
    }
    return rates;
}

std::string WriteFax(Class1Line& line, int count) {
    std::vector<FaxRaster> pages;
    for (int p = 0; p < count; ++p) {
        pages.push_back(testpages::Pattern(1728, 40, 41 + p));
    }
    const std::string path = line.File("fax.apf");
    WriteApf(path, pages, false);
    return path;
}

bool Contains(const std::vector<int>& values, int value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

Class1Line::Class1Line() {
    static int lines = 0;
    dir_ = (qptest::DataDir() / ("class1-" + std::to_string(++lines))).string();
    std::filesystem::create_directories(dir_);
}

Class1Line::~Class1Line() {
    if (::testing::Test::HasFailure()) {
        sim_.Drain(200ms);
        std::fprintf(stderr, "faxsim events:\n%s", sim_.Transcript().c_str());
    }
    for (Side& side : sides_) {
        if (side.engine) {
            side.engine->Stop();
            side.engine.reset();
        }
        if (side.slot > 0) {
            qpcomm::ComDispatcher::Instance().ClosePort(side.slot);
        }
    }
    sim_.Process().Stop();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

bool Class1Line::Start(std::vector<std::string> args, bool twoModems, bool openPorts) {
    args.insert(args.begin(), {"--link", File("modem1")});
    if (std::find(args.begin(), args.end(), "--time-factor") == args.end()) {
        // Faster only while the computer waits for the modem: the far end's timers still
        // run in real time against our frames and data.
        args.insert(args.end(), {"--time-factor", "10"});
    }
    if (twoModems) {
        args.insert(args.begin() + 2, {"--link2", File("modem2")});
    }
    std::string error;
    if (!sim_.Start(args, &error)) {
        ADD_FAILURE() << "faxsim did not start: " << error;
        return false;
    }
    return !openPorts || (OpenPort(1) && (!twoModems || OpenPort(2)));
}

std::string Class1Line::File(const std::string& name) const {
    return (std::filesystem::path(dir_) / name).string();
}

std::vector<std::string> Class1Line::Events(const std::string& prefix) {
    sim_.Drain(100ms);
    std::vector<std::string> found;
    for (const std::string& event : sim_.Process().Lines()) {
        if (event.rfind(prefix, 0) == 0) {
            found.push_back(event);
        }
    }
    return found;
}

std::optional<std::string> Class1Line::Event(const std::string& prefix,
                                             std::chrono::milliseconds limit) {
    for (const std::string& event : sim_.Process().Lines()) {
        if (event.rfind(prefix, 0) == 0) {
            return event;
        }
    }
    return sim_.Await(prefix, limit);
}

bool Class1Line::OpenPort(int port) {
    Side& side = sides_[port - 1];
    side.slot = enginetest::OpenPort(File("modem" + std::to_string(port)));
    return side.slot > 0;
}

int Class1Line::StartSend(FaxEngineOptions options, int port) {
    Side& side = sides_[port - 1];
    auto engine = std::make_shared<FaxSendEngine>(side.client, std::move(options));
    side.engine = engine;
    side.client.SetEngine(engine);
    return engine->Start(side.slot);
}

int Class1Line::StartReceive(FaxEngineOptions options, int port) {
    Side& side = sides_[port - 1];
    side.client.SetNameDir(dir_);
    auto engine = std::make_shared<FaxReceiveEngine>(side.client, std::move(options));
    side.engine = engine;
    side.client.SetEngine(engine);
    return engine->Start(side.slot);
}

std::optional<int> Class1Line::Finish(std::chrono::milliseconds limit, int port) {
    Side& side = sides_[port - 1];
    auto code = side.client.WaitFinished(limit);
    if (side.engine) {
        side.engine->Stop();
    }
    return code;
}

bool Class1Line::PortIsClean(int port) {
    ModemCommander commander(sides_[port - 1].slot, 91);
    return commander.Command("AT");
}

} // namespace enginetest
