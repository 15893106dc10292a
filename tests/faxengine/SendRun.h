#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Emulator.h"
#include "TestPages.h"
#include "EngineHarness.h"
#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/FaxSendEngine.h"

namespace enginetest {

// One send run on the emulated modem: the port, the engine and its recording client.
struct SendRun {
    Emulator modem;
    RecordingClient client;
    std::shared_ptr<qpfax::FaxSendEngine> engine;
    int slot = 0;
    int faxes = 0;

    bool Open(const std::vector<std::string>& args) {
        if (!modem.Start(args)) {
            return false;
        }
        slot = OpenPort(modem.Device());
        return slot > 0;
    }
    int Start(qpfax::FaxEngineOptions options) {
        engine = std::make_shared<qpfax::FaxSendEngine>(client, std::move(options));
        client.SetEngine(engine);
        return engine->Start(slot);
    }
    std::optional<int> Finish(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        auto code = client.WaitFinished(limit);
        if (engine) {
            engine->Stop();
        }
        return code;
    }
    // Writes a small fax of `pages` pages and queues it for the run.
    std::string QueueFax(int pages, bool fine = false, int rows = 60) {
        std::vector<FaxRaster> raster;
        for (int p = 0; p < pages; ++p) {
            raster.push_back(testpages::Pattern(1728, rows, p + 1));
        }
        const std::string apf = modem.File("fax" + std::to_string(++faxes) + ".apf");
        WriteApf(apf, raster, fine);
        client.AddFax({"5550199", apf, ""});
        return apf;
    }
    ~SendRun() {
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

} // namespace enginetest
