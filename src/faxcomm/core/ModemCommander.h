#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "faxcomm/core/FaxCodes.h"
#include "faxcomm/core/ResponseReader.h"

namespace qpfax {

// Synchronous modem commands on an open port, used outside the state machines (modem
// initialisation and the class query): trigger delivery on the port is held back while a
// command runs, and `pump` lets the calling thread's pending work run while it waits.
// Must not run on the port's dispatcher thread.
class ModemCommander {
public:
    ModemCommander(int slot, long responseWaitTicks, std::function<void()> pump = {});

    // Sends the command (after a 100 ms pause, with a carriage return) and reads lines:
    // an echo of the command is skipped, "ERROR" fails, "OK" succeeds, any other line is
    // the answer and success follows when one more line comes before the wait runs out.
    // `lastLine` gets the last line read. The input is flushed afterwards.
    bool Command(const std::string& command, std::string* answer = nullptr,
                 std::string* lastLine = nullptr);

    // The classes "AT+FCLASS=?" reports (empty when the modem does not answer). With
    // `resetFirst` the modem is reset first (DTR and RTS cycled, then `resetCommand`, once
    // more when its last line is not "OK"); `resetFailed` tells when that failed.
    FaxClassSet QueryClasses(bool resetFirst, const std::string& resetCommand,
                             bool* resetFailed = nullptr);

    // The classes an "AT+FCLASS=?" answer names.
    static FaxClassSet ParseClassList(const std::string& answer);
    // The class fcDetect resolves to in a set: 2.0, else 2, else 1, else fcUnknown.
    static TFaxClass BestClass(FaxClassSet classes);
    // The reset command for the dialing options.
    static std::string ResetCommand(bool blindDial, bool detectBusy);
    // ModemInit as it is sent: uppercased, "AT" in front unless it starts with "A".
    static std::string InitCommand(const std::string& modemInit);

private:
    bool ReadLineUntil(ResponseReader& reader, std::string& line,
                       std::chrono::steady_clock::time_point deadline);
    void CycleLines();

    int slot_;
    long responseWaitTicks_;
    std::function<void()> pump_;
};

// Sleeps for `ms` milliseconds (the engine's short pauses).
void PauseMs(int ms);

} // namespace qpfax
