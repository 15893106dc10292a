#include "SimOptions.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>

namespace faxsim {

namespace {

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    std::string item;
    for (char c : text) {
        if (c == ',') {
            if (!item.empty()) {
                items.push_back(item);
            }
            item.clear();
        } else if (c != ' ') {
            item += c;
        }
    }
    if (!item.empty()) {
        items.push_back(item);
    }
    return items;
}

bool ToInt(const std::string& text, int low, int high, int* value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number < low || number > high) {
        return false;
    }
    *value = static_cast<int>(number);
    return true;
}

bool ToDouble(const std::string& text, double low, double high, double* value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !(number >= low && number <= high)) {
        return false;
    }
    *value = number;
    return true;
}

bool ParseRate(const std::string& text, int* rate) {
    int value = 0;
    if (!ToInt(text, 2400, 14400, &value)) {
        return false;
    }
    switch (value) {
    case 2400:
    case 4800:
    case 7200:
    case 9600:
    case 12000:
    case 14400:
        *rate = value;
        return true;
    default:
        return false;
    }
}

bool ParseResolutions(const std::string& text, bool* fine) {
    bool normal = false;
    bool high = false;
    for (const std::string& item : SplitList(text)) {
        if (item == "normal") {
            normal = true;
        } else if (item == "fine") {
            high = true;
        } else {
            return false;
        }
    }
    if (!normal) {
        return false; // every fax terminal takes normal resolution
    }
    *fine = high;
    return true;
}

bool ParseModemRates(const std::string& text, std::vector<std::string>* rates) {
    static const char* const known[] = {"24", "48", "72",  "73",  "74",  "96",
                                        "97", "98", "121", "122", "145", "146"};
    std::vector<std::string> items = SplitList(text);
    if (items.empty()) {
        return false;
    }
    for (const std::string& item : items) {
        bool found = false;
        for (const char* code : known) {
            found = found || item == code;
        }
        if (!found) {
            return false;
        }
    }
    *rates = items;
    return true;
}

} // namespace

std::string Usage() {
    return "usage: faxsim --link PATH [options]\n"
           "A Class 1 fax modem (spandsp's T.31) on a pseudo-terminal whose line leads to\n"
           "spandsp's T.30 fax terminal, or with --link2 to a second simulated modem.\n"
           "\n"
           "  --link PATH            symlink to the modem's pseudo-terminal\n"
           "  --link2 PATH           a second modem; the two computers call each other\n"
           "far end:\n"
           "  --remote-id ID         its station ID (default FAXSIM)\n"
           "  --rate BPS             highest rate it offers: 4800, 9600 or 14400 (default)\n"
           "  --resolutions LIST     normal or normal,fine (default)\n"
           "  --no-ecm               does not offer error correction\n"
           "  --rx-tiff FILE         received pages (overwritten by each call)\n"
           "  --rx-dir DIR           one TIFF per call, named by date and time\n"
           "  --tx-tiff FILE[,FILE]  pages it sends when told to call\n"
           "  --ftt N                the first N training checks fail\n"
           "  --dcn-after-page N     hangs up with DCN after page N\n"
           "  --damage-page N        the first N pages the computer sends are damaged\n"
           "  --mute-after-page N    falls silent after page N (no answer, no DCN)\n"
           "exchange:\n"
           "  --busy N               the first N calls are busy\n"
           "  --no-answer            nobody answers (NO ANSWER after S7 seconds)\n"
           "  --no-dialtone          no dial tone\n"
           "  --rings N              ring-back cycles before the far end answers (default 1)\n"
           "  --ring-limit N         unanswered rings before an incoming call gives up (10)\n"
           "  --number-rules RULES   per-number behaviour, e.g. "
           "\"*0=busy;*9=no-answer;*=rings:2\"\n"
           "                         or the preset test-line\n"
           "line:\n"
           "  --delay MS             one-way delay (default 30)\n"
           "  --noise DBM0           white noise at this level (e.g. -50)\n"
           "  --line-loss DB         attenuation of the signal (default 0)\n"
           "  --seed N               noise seed (default 1)\n"
           "modem and program:\n"
           "  --modem-rates LIST     modulations offered, e.g. 24,48,72,96 (default all)\n"
           "  --time-factor F        run up to F times faster while the computer waits (1)\n"
           "  --dte-timeout S        drop a call the computer stalls for S seconds (10)\n"
           "  --verbose              spandsp's protocol log on standard error\n"
           "Standard input: \"call [FILE,...]\", \"hangup\", \"quit\". Events: see README.md.\n";
}

std::optional<SimOptions> ParseOptions(const std::vector<std::string>& args, std::string* error,
                                       bool* helpRequested) {
    SimOptions options;
    std::string problem;
    std::string rulesText;

    using Setter = std::function<bool(const std::string&)>;
    const std::map<std::string, Setter> withValue = {
        {"--link",
         [&](const std::string& v) {
             options.link = v;
             return !v.empty();
         }},
        {"--link2",
         [&](const std::string& v) {
             options.link2 = v;
             return !v.empty();
         }},
        {"--remote-id",
         [&](const std::string& v) {
             options.farEnd.ident = v;
             return v.size() <= 20;
         }},
        {"--rate", [&](const std::string& v) { return ParseRate(v, &options.farEnd.maxRate); }},
        {"--resolutions",
         [&](const std::string& v) { return ParseResolutions(v, &options.farEnd.fine); }},
        {"--rx-tiff",
         [&](const std::string& v) {
             options.farEnd.rxTiff = v;
             return !v.empty();
         }},
        {"--rx-dir",
         [&](const std::string& v) {
             options.farEnd.rxDir = v;
             return !v.empty();
         }},
        {"--tx-tiff",
         [&](const std::string& v) {
             options.farEnd.txTiffs = SplitList(v);
             return !options.farEnd.txTiffs.empty();
         }},
        {"--ftt",
         [&](const std::string& v) { return ToInt(v, 0, 100, &options.farEnd.failTraining); }},
        {"--dcn-after-page",
         [&](const std::string& v) { return ToInt(v, 1, 1000, &options.farEnd.hangUpAfterPage); }},
        {"--damage-page",
         [&](const std::string& v) { return ToInt(v, 0, 100, &options.farEnd.damagePages); }},
        {"--mute-after-page",
         [&](const std::string& v) { return ToInt(v, 1, 1000, &options.farEnd.muteAfterPage); }},
        {"--busy",
         [&](const std::string& v) { return ToInt(v, 0, 1000, &options.exchange.busyCount); }},
        {"--rings",
         [&](const std::string& v) { return ToInt(v, 1, 20, &options.exchange.plan.rings); }},
        {"--ring-limit",
         [&](const std::string& v) { return ToInt(v, 1, 100, &options.exchange.ringLimit); }},
        {"--number-rules",
         [&](const std::string& v) {
             rulesText = v;
             return true;
         }},
        {"--delay", [&](const std::string& v) { return ToInt(v, 0, 1000, &options.line.delayMs); }},
        {"--noise",
         [&](const std::string& v) {
             double level = 0;
             if (!ToDouble(v, -100, 0, &level)) {
                 return false;
             }
             options.line.noiseDbm0 = level;
             return true;
         }},
        {"--line-loss",
         [&](const std::string& v) { return ToDouble(v, 0, 60, &options.line.lossDb); }},
        {"--seed",
         [&](const std::string& v) {
             int seed = 0;
             if (!ToInt(v, 1, 1 << 30, &seed)) {
                 return false;
             }
             options.line.seed = static_cast<unsigned>(seed);
             return true;
         }},
        {"--modem-rates",
         [&](const std::string& v) { return ParseModemRates(v, &options.modemRates); }},
        {"--time-factor",
         [&](const std::string& v) { return ToDouble(v, 1, 100, &options.timeFactor); }},
        {"--dte-timeout",
         [&](const std::string& v) { return ToInt(v, 1, 3600, &options.dteTimeoutS); }},
    };
    const std::map<std::string, std::function<void()>> flags = {
        {"--no-ecm", [&] { options.farEnd.ecm = false; }},
        {"--no-answer", [&] { options.exchange.plan.outcome = DialOutcome::NoAnswer; }},
        {"--no-dialtone", [&] { options.exchange.plan.outcome = DialOutcome::NoDialtone; }},
        {"--verbose", [&] { options.verbose = true; }},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        const auto equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        if (name == "--help" || name == "-h") {
            if (helpRequested) {
                *helpRequested = true;
            }
            return std::nullopt;
        }
        if (const auto flag = flags.find(name); flag != flags.end() && !value) {
            flag->second();
            continue;
        }
        const auto setter = withValue.find(name);
        if (setter == withValue.end()) {
            problem = "unknown option " + args[i];
            break;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                problem = "option " + name + " needs a value";
                break;
            }
            value = args[++i];
        }
        if (!setter->second(*value)) {
            problem = "bad value \"" + *value + "\" for " + name;
            break;
        }
    }
    if (problem.empty() && !rulesText.empty()) {
        auto rules = NumberRules::Parse(rulesText, &problem);
        if (rules) {
            options.exchange.numberRules = *rules;
        }
    }
    if (problem.empty() && options.link.empty()) {
        problem = "--link PATH is required";
    }
    if (problem.empty() && options.link == options.link2) {
        problem = "--link and --link2 must differ";
    }
    if (problem.empty() && !options.farEnd.rxTiff.empty() && !options.farEnd.rxDir.empty()) {
        problem = "give either --rx-tiff or --rx-dir";
    }
    if (!problem.empty()) {
        if (error) {
            *error = problem;
        }
        return std::nullopt;
    }
    return options;
}

} // namespace faxsim
