#include "faxcomm/cli/ModemCommand.h"

#include <chrono>
#include <iostream>
#include <optional>

#include "common/ErrorText.h"
#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/PortDeviceName.h"
#include "faxcomm/core/StringMatcher.h"

using namespace qpcomm;
using Clock = std::chrono::steady_clock;

namespace {

struct ModemOptions {
    std::string subcommand;
    std::optional<int> port;
    std::string device;
    int baud = 19200;
    int timeoutMs = 3000;
    std::string traceFile;
    std::vector<std::string> commands;
};

void Usage(std::ostream& out) {
    out << "usage: qpx modem at [--port N | --device PATH] [--baud B] [--timeout MS] "
           "[--trace FILE] COMMAND...\n"
           "       qpx modem probe [--trace FILE]\n";
}

bool ParseOptions(const std::vector<std::string>& args, ModemOptions& options) {
    if (args.empty()) {
        return false;
    }
    options.subcommand = args[0];
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        try {
            if (arg == "--port" && hasValue) {
                options.port = std::stoi(args[++i]);
            } else if (arg == "--device" && hasValue) {
                options.device = args[++i];
            } else if (arg == "--baud" && hasValue) {
                options.baud = std::stoi(args[++i]);
            } else if (arg == "--timeout" && hasValue) {
                options.timeoutMs = std::stoi(args[++i]);
            } else if (arg == "--trace" && hasValue) {
                options.traceFile = args[++i];
            } else if (arg.rfind("--", 0) == 0) {
                return false;
            } else {
                options.commands.push_back(arg);
            }
        } catch (const std::exception&) {
            return false;
        }
    }
    return options.subcommand == "probe" ||
           (options.subcommand == "at" && !options.commands.empty());
}

std::string ErrorWording(int code) {
    return qp::ErrorTextOr(code, "Error " + std::to_string(code));
}

int OpenDevice(const std::string& device, int baud) {
    PortOpenRequest request;
    request.deviceName = device;
    request.line.baud = baud;
    return ComDispatcher::Instance().OpenPort(std::move(request));
}

void DumpTrace(int slot, const std::string& file, bool append) {
    if (!file.empty() && ComDispatcher::Instance().RecordingDump(slot, Recording::Trace, file,
                                                                 append, true) != prOK) {
        std::cerr << "qpx modem: cannot write the trace to " << file << "\n";
    }
}

bool IsFinalResult(const std::string& line) {
    std::string upper;
    for (char c : line) {
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    for (const char* final : {"OK", "ERROR", "NO CARRIER", "BUSY", "NO DIALTONE", "NO DIAL TONE",
                              "NO ANSWER", "+FCERROR"}) {
        if (upper == final) {
            return true;
        }
    }
    return upper.rfind("CONNECT", 0) == 0;
}

// Sends one command and prints its answer lines (not the echo); false on time-out.
bool RunCommand(int slot, const std::string& command, int timeoutMs) {
    ComDispatcher& d = ComDispatcher::Instance();
    if (const int result = d.PutString(slot, command + "\r"); result != prOK) {
        std::cerr << "qpx modem: " << ErrorWording(result) << "\n";
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    while (Clock::now() < deadline) {
        const int byte = d.GetChar(slot);
        if (byte < 0) {
            d.WaitForData(slot, std::chrono::milliseconds(20));
            continue;
        }
        if (byte != '\r' && byte != '\n') {
            line += static_cast<char>(byte);
            continue;
        }
        if (line.empty() || line == command) {
            line.clear();
            continue;
        }
        std::cout << line << "\n";
        if (IsFinalResult(line)) {
            return true;
        }
        line.clear();
    }
    std::cerr << "qpx modem: no final answer to " << command << " within " << timeoutMs << " ms\n";
    return false;
}

int RunAt(const ModemOptions& options) {
    const std::string device =
        options.device.empty() ? DeviceNameForPort(options.port.value_or(1)) : options.device;
    ComDispatcher& d = ComDispatcher::Instance();
    const int slot = OpenDevice(device, options.baud);
    if (slot < 0) {
        std::cerr << "qpx modem: " << device << ": " << ErrorWording(slot) << "\n";
        return 1;
    }
    d.RecordingOn(slot, Recording::Trace, MaxTraceSize);
    bool answered = true;
    for (const std::string& command : options.commands) {
        if (!RunCommand(slot, command, options.timeoutMs)) {
            answered = false;
            break;
        }
    }
    DumpTrace(slot, options.traceFile, false);
    d.ClosePort(slot);
    return answered ? 0 : 1;
}

// "AT" and "OK" within 18 ticks, case ignored.
bool ModemAnswers(int slot) {
    ComDispatcher& d = ComDispatcher::Instance();
    if (d.PutString(slot, "AT\r") != prOK) {
        return false;
    }
    StringMatcher matcher("OK", true);
    const auto deadline = Clock::now() + std::chrono::milliseconds(TicksToMilliseconds(18));
    while (Clock::now() < deadline) {
        const int byte = d.GetChar(slot);
        if (byte >= 0) {
            if (matcher.Feed(static_cast<char>(byte))) {
                return true;
            }
        } else {
            d.WaitForData(slot, std::chrono::milliseconds(20));
        }
    }
    return false;
}

std::string OpenFailureWording(int code) {
    if (code == prHardware || code == prAlreadyOpen) {
        return "Port is already open (could be modem)";
    }
    if (code == prBadId) {
        return "Port does not exist";
    }
    return qp::ErrorTextOr(code, "Unknown Error");
}

int RunProbe(const ModemOptions& options) {
    ComDispatcher& d = ComDispatcher::Instance();
    bool appendTrace = false;
    for (int number = 1; number <= 6; ++number) {
        const std::string device = DeviceNameForPort(number);
        std::string line = "Com " + std::to_string(number) + ": ";
        const int slot = OpenDevice(device, options.baud);
        if (slot < 0) {
            line += OpenFailureWording(slot);
        } else {
            d.RecordingOn(slot, Recording::Trace, MaxTraceSize);
            line += ModemAnswers(slot) ? "MODEM" : "Unknown";
            DumpTrace(slot, options.traceFile, appendTrace);
            appendTrace = true;
            d.ClosePort(slot);
        }
        std::cout << line << "  (" << device << ")\n";
    }
    return 0;
}

} // namespace

int QpxModem(const std::vector<std::string>& args) {
    ModemOptions options;
    if (!ParseOptions(args, options)) {
        Usage(std::cerr);
        return 2;
    }
    return options.subcommand == "at" ? RunAt(options) : RunProbe(options);
}
