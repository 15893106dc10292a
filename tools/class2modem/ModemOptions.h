#pragma once

#include <string>
#include <vector>

#include "FaultPlan.h"
#include "ModemDelays.h"

// Everything the emulated modem is told on its command line.
struct ModemOptions {
    std::string link;                         // symlink made to the pty's slave side
    std::string classes = "0,1,2,2.0";        // the answer to AT+FCLASS=?
    std::string remoteId = "+1 555 0199";     // the far end's station ID
    std::string rxTiff;                       // received pages of the latest call
    std::string rxDir;                        // or one TIFF per call in this folder
    std::vector<std::string> txTiffs;         // documents the far end sends when calling
    int rateBps = 14400;                      // highest rate the far end offers
    bool fine = true;                         // the far end takes fine resolution
    bool wide = false;                        // the far end takes 2048-pixel lines
    int scanTime = 0;                         // the far end's scan-time code (0..7)
    ModemDelays delays = ModemDelays::Real(); // fixed protocol times
    double timeFactor = 1.0;                  // > 1 runs delays and data faster
    FaultPlan faults;
    int maxRings = 10; // the caller gives up after this many rings
    bool echo = true;  // command echo at power-on (E1)
};

// Reads the options (without the program name). False with `error` set on a bad one.
bool ParseModemOptions(const std::vector<std::string>& args, ModemOptions& options,
                       std::string& error);
// The usage text of the class2modem program.
std::string ModemUsage();
