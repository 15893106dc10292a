#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EngineHarness.h"
#include "FaxsimProcess.h"
#include "faxcomm/core/FaxReceiveEngine.h"
#include "faxcomm/core/FaxSendEngine.h"

// A Class 1 call for the engine tests: faxsim (spandsp's Class 1 modem and, unless two
// modems are asked for, its T.30 fax terminal at the far end) on pseudo-terminals in the
// test's data folder, the engine on the port, a recording client.
namespace enginetest {

// A value of an event line's "key=value" field ("" when missing).
std::string Field(const std::string& event, const std::string& key);

// Engine options for Class 1 sessions on the simulated line.
qpfax::FaxEngineOptions Class1Options();

class Class1Line;
// Byte A of each DCS the program sent on the line, without the resolution bits.
std::vector<int> DcsRates(Class1Line& line);
// Writes an APF file of `count` normal test pages into the line's folder; its path.
std::string WriteFax(Class1Line& line, int count);
bool Contains(const std::vector<int>& values, int value);

class Class1Line {
public:
    Class1Line();
    ~Class1Line();

    // Starts faxsim with `args` (the link is added, and time factor 10 unless `args` name
    // one); with `twoModems` a second modem. The ports are opened here unless another
    // process is to use them.
    bool Start(std::vector<std::string> args, bool twoModems = false, bool openPorts = true);
    // A file in this line's scratch folder.
    std::string File(const std::string& name) const;
    FaxsimProcess& Sim() { return sim_; }
    // Every event line so far that begins with `prefix`, in order.
    std::vector<std::string> Events(const std::string& prefix);
    // Waits for an event line beginning with `prefix` (also one read before).
    std::optional<std::string> Event(const std::string& prefix, std::chrono::milliseconds limit);

    // The engine side: a send or receive engine on port 1 (or 2 with two modems).
    int StartSend(qpfax::FaxEngineOptions options, int port = 1);
    int StartReceive(qpfax::FaxEngineOptions options, int port = 1);
    RecordingClient& Client(int port = 1) { return sides_[port - 1].client; }
    std::optional<int> Finish(std::chrono::milliseconds limit, int port = 1);
    int Slot(int port = 1) const { return sides_[port - 1].slot; }
    // The port answers "AT" with "OK" (nothing of the call is left on it).
    bool PortIsClean(int port = 1);

private:
    struct Side {
        RecordingClient client;
        std::shared_ptr<qpfax::FaxEngine> engine;
        int slot = 0;
    };
    bool OpenPort(int port);

    FaxsimProcess sim_;
    std::string dir_;
    Side sides_[2];
};

} // namespace enginetest
