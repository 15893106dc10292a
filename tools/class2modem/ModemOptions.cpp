#include "ModemOptions.h"

#include <cstdlib>

#include "FaxParameters.h"

namespace {

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find(',', start);
        const std::string part = text.substr(start, end == std::string::npos ? end : end - start);
        if (!part.empty()) {
            parts.push_back(part);
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return parts;
}

bool ParseInt(const std::string& text, int lowest, int highest, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || parsed < lowest || parsed > highest) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

bool ParseFlag(const std::string& text, bool& value) {
    if (text == "1" || text == "yes") {
        value = true;
        return true;
    }
    if (text == "0" || text == "no") {
        value = false;
        return true;
    }
    return false;
}

} // namespace

bool ParseModemOptions(const std::vector<std::string>& args, ModemOptions& options,
                       std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help") {
            error = ModemUsage();
            return false;
        }
        if (i + 1 >= args.size()) {
            error = "missing value or unknown option: " + name;
            return false;
        }
        const std::string& value = args[++i];
        bool ok = true;
        if (name == "--link") {
            options.link = value;
        } else if (name == "--classes") {
            options.classes = value;
        } else if (name == "--remote-id") {
            ok = value.size() <= 20;
        } else if (name == "--rx-tiff") {
            options.rxTiff = value;
        } else if (name == "--rx-dir") {
            options.rxDir = value;
        } else if (name == "--tx-tiff") {
            options.txTiffs = SplitList(value);
            ok = !options.txTiffs.empty();
        } else if (name == "--rate") {
            ok = ParseInt(value, 2400, 14400, options.rateBps) &&
                 FaxParameters::RateCode(options.rateBps).has_value();
        } else if (name == "--fine") {
            ok = ParseFlag(value, options.fine);
        } else if (name == "--wide") {
            ok = ParseFlag(value, options.wide);
        } else if (name == "--scan-time") {
            ok = ParseInt(value, 0, 7, options.scanTime);
        } else if (name == "--delays") {
            ok = value == "fast" || value == "real";
            options.delays = value == "fast" ? ModemDelays::Fast() : ModemDelays::Real();
        } else if (name == "--time-factor") {
            char* end = nullptr;
            options.timeFactor = std::strtod(value.c_str(), &end);
            ok = *end == '\0' && options.timeFactor >= 0.01 && options.timeFactor <= 1000;
        } else if (name == "--fault") {
            if (!options.faults.Add(value, error)) {
                return false;
            }
        } else if (name == "--max-rings") {
            ok = ParseInt(value, 1, 1000, options.maxRings);
        } else if (name == "--echo") {
            ok = ParseFlag(value, options.echo);
        } else {
            error = "unknown option: " + name;
            return false;
        }
        if (name == "--remote-id" && ok) {
            options.remoteId = value;
        }
        if (!ok) {
            error = "bad value for " + name + ": " + value;
            return false;
        }
    }
    return true;
}

std::string ModemUsage() {
    return "usage: class2modem [options]\n"
           "  --link PATH            symlink PATH to the modem's pseudo-terminal\n"
           "  --classes LIST         answer to AT+FCLASS=? (default 0,1,2,2.0)\n"
           "  --remote-id ID         the far end's station ID (up to 20 characters)\n"
           "  --rx-tiff FILE         write the pages received in a call to FILE\n"
           "  --rx-dir DIR           or one TIFF file per call in DIR\n"
           "  --tx-tiff FILE[,FILE]  documents the far end sends when it calls\n"
           "  --rate BPS             highest rate the far end offers (2400..14400)\n"
           "  --fine 0|1             the far end takes fine resolution (default 1)\n"
           "  --wide 0|1             the far end takes 2048-pixel lines (default 0)\n"
           "  --scan-time N          the far end's scan-time code 0..7 (default 0)\n"
           "  --delays fast|real     protocol delays (default real)\n"
           "  --time-factor F        run delays and data F times faster (default 1)\n"
           "  --fault FAULT          inject a fault (see README.md); may be repeated\n"
           "  --max-rings N          an unanswered caller gives up after N rings\n"
           "  --echo 0|1             command echo at power-on (default 1)\n"
           "standard input: ring | call [FILE.tif,...] | quit\n";
}
