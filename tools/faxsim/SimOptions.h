#pragma once

#include <optional>
#include <string>
#include <vector>

#include "NumberRules.h"

namespace faxsim {

// The far end's T.30 fax terminal (spandsp).
struct FarEndOptions {
    std::string ident = "FAXSIM"; // its station ID (CSI/TSI), at most 20 characters
    int maxRate = 14400; // highest rate it offers: 4800 (V.27ter), 9600 (V.29), 14400 (V.17)
    bool fine = true;    // offers fine resolution as well as normal
    bool ecm = true;     // offers error correction
    std::string rxTiff;  // received pages go here (each call overwrites it)
    std::string rxDir;   // or one file per call in this folder, named by date and time
    std::vector<std::string> txTiffs; // pages it sends when it calls (several files are joined)
    int failTraining = 0;             // the first n training checks fail (FTT)
    int hangUpAfterPage = 0;          // sends DCN instead of the answer after page n (0: never)
    int damagePages = 0;              // the first n pages from the computer are damaged
    int muteAfterPage = 0;            // falls silent (hears and sends nothing) after page n
};

// The simulated telephone line between the two ends.
struct LineOptions {
    int delayMs = 30;                // one-way delay
    std::optional<double> noiseDbm0; // white noise level added in both directions
    double lossDb = 0;               // attenuation of the signal in both directions
    unsigned seed = 1;               // noise generator seed (repeatable runs)
};

// The simulated exchange: what happens when the computer dials.
struct ExchangeOptions {
    int busyCount = 0;       // the first n calls find the line busy
    DialPlan plan;           // what happens otherwise (unless a number rule matches)
    NumberRules numberRules; // per-number behaviour
    int ringLimit = 10;      // an incoming call gives up after this many unanswered rings
};

struct SimOptions {
    std::string link;  // symlink to the first modem's pseudo-terminal
    std::string link2; // a second modem: the two computers call each other
    FarEndOptions farEnd;
    LineOptions line;
    ExchangeOptions exchange;
    std::vector<std::string>
        modemRates;        // modulation codes the modems offer (empty: all of spandsp's)
    double timeFactor = 1; // how much faster than real time it may run while waiting
    int dteTimeoutS =
        10; // a computer silent this long while the modem waits for its data loses the call
    bool verbose = false; // spandsp's protocol log on standard error

    bool TwoModems() const { return !link2.empty(); }
};

// Parses the command line (without the program name). Nothing, with `error` set, when an
// option is unknown or its value is bad; `helpRequested` is set for --help.
std::optional<SimOptions> ParseOptions(const std::vector<std::string>& args, std::string* error,
                                       bool* helpRequested = nullptr);

// The option summary printed by --help.
std::string Usage();

} // namespace faxsim
