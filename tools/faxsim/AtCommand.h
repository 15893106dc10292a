#pragma once

#include <string>

namespace faxsim {

// What a command line asks the modem to do, as far as the simulator needs to know: the
// commands that start a call, end it, or hand the line over to data in either direction.
enum class AtKind {
    Other,             // settings and queries the modem answers at once
    Dial,              // ATD…: argument is the dial string
    Answer,            // ATA
    HangUp,            // ATH / ATH0
    SendFrames,        // +FTH=3
    SendData,          // +FTM=n: argument is the modulation code
    ReceiveFrames,     // +FRH=3
    ReceiveData,       // +FRM=n
    SendSilence,       // +FTS=n
    WaitSilence,       // +FRS=n
    QuerySendRates,    // +FTM=?
    QueryReceiveRates, // +FRM=?
};

struct AtCommand {
    AtKind kind = AtKind::Other;
    std::string argument;

    // Classifies one command line (without its carriage return). The last action command
    // of the line decides; a line that does not start with "AT" is Other.
    static AtCommand Parse(const std::string& line);

    // True for the commands after which the computer only waits for the modem (a result,
    // received data, or the end of a silence).
    bool ComputerWaits() const;
};

} // namespace faxsim
