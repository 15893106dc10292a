#include "faxcomm/core/ModemCommander.h"

#include <thread>

#include "faxcomm/core/ComDispatcher.h"

namespace qpfax {

using qpcomm::ComDispatcher;
using Clock = std::chrono::steady_clock;

void PauseMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

ModemCommander::ModemCommander(int slot, long responseWaitTicks, std::function<void()> pump)
    : slot_(slot), responseWaitTicks_(responseWaitTicks), pump_(std::move(pump)) {}

bool ModemCommander::ReadLineUntil(ResponseReader& reader, std::string& line,
                                   Clock::time_point deadline) {
    ComDispatcher& d = ComDispatcher::Instance();
    for (;;) {
        const int byte = d.GetChar(slot_);
        if (byte >= 0) {
            if (reader.Feed(static_cast<std::uint8_t>(byte))) {
                line = reader.Line();
                reader.Clear();
                return true;
            }
            continue;
        }
        if (byte != qpcomm::prBufferIsEmpty || Clock::now() >= deadline) {
            return false;
        }
        if (pump_) {
            pump_();
        }
        d.WaitForData(slot_, std::chrono::milliseconds(10));
    }
}

bool ModemCommander::Command(const std::string& command, std::string* answer,
                             std::string* lastLine) {
    ComDispatcher& d = ComDispatcher::Instance();
    const int wasSuspended = d.SuspendDelivery(slot_, true);
    PauseMs(100);
    bool ok = false;
    if (d.PutString(slot_, command + "\r") == qpcomm::prOK) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(
                                                 qpcomm::TicksToMilliseconds(responseWaitTicks_));
        ResponseReader reader;
        std::string line;
        while (ReadLineUntil(reader, line, deadline)) {
            if (line == command) {
                continue;
            }
            if (lastLine != nullptr) {
                *lastLine = line;
            }
            if (line.find("ERROR") != std::string::npos) {
                break;
            }
            if (line.find("OK") != std::string::npos) {
                ok = true;
                break;
            }
            if (answer != nullptr) {
                *answer = line;
            }
            if (ReadLineUntil(reader, line, deadline)) {
                if (lastLine != nullptr) {
                    *lastLine = line;
                }
                ok = line.find("ERROR") == std::string::npos;
            }
            break;
        }
    }
    d.FlushInBuffer(slot_);
    if (wasSuspended == 0) {
        d.SuspendDelivery(slot_, false);
    }
    return ok;
}

void ModemCommander::CycleLines() {
    ComDispatcher& d = ComDispatcher::Instance();
    d.FlushInBuffer(slot_);
    d.FlushOutBuffer(slot_);
    d.SetDTR(slot_, false);
    d.SetRTS(slot_, false);
    PauseMs(500);
    d.SetDTR(slot_, true);
    d.SetRTS(slot_, true);
    PauseMs(500);
}

FaxClassSet ModemCommander::QueryClasses(bool resetFirst, const std::string& resetCommand,
                                         bool* resetFailed) {
    if (resetFailed != nullptr) {
        *resetFailed = false;
    }
    if (resetFirst) {
        bool reset = false;
        for (int attempt = 0; attempt < 2 && !reset; ++attempt) {
            CycleLines();
            std::string last;
            if (!Command(resetCommand, nullptr, &last)) {
                break;
            }
            reset = last.find("OK") != std::string::npos;
        }
        if (!reset) {
            if (resetFailed != nullptr) {
                *resetFailed = true;
            }
            return 0;
        }
    }
    std::string answer;
    if (!Command("AT+FCLASS=?", &answer)) {
        return 0;
    }
    return ParseClassList(answer);
}

FaxClassSet ModemCommander::ParseClassList(const std::string& answer) {
    std::string list = answer;
    const std::size_t separator = list.find_first_of(":=");
    if (separator != std::string::npos) {
        list.erase(0, separator + 1);
    }
    const auto first = list.find_first_not_of(' ');
    list = first == std::string::npos ? std::string() : list.substr(first);
    while (!list.empty() && list.back() == ' ') {
        list.pop_back();
    }
    FaxClassSet set = 0;
    if (list.find('1') != std::string::npos) {
        set |= ClassBit(fcClass1);
    }
    if (list.find("2.0") != std::string::npos) {
        set |= ClassBit(fcClass2_0);
        if (list.find("2,") != std::string::npos) {
            set |= ClassBit(fcClass2);
        }
    } else if (list.find('2') != std::string::npos) {
        set |= ClassBit(fcClass2);
    }
    return set;
}

TFaxClass ModemCommander::BestClass(FaxClassSet classes) {
    for (TFaxClass c : {fcClass2_0, fcClass2, fcClass1}) {
        if (classes & ClassBit(c)) {
            return c;
        }
    }
    return fcUnknown;
}

std::string ModemCommander::ResetCommand(bool blindDial, bool detectBusy) {
    const char x = blindDial ? (detectBusy ? '3' : '1') : (detectBusy ? '4' : '2');
    return std::string("ATE0Q0V1X") + x + "S0=0S2=43";
}

std::string ModemCommander::InitCommand(const std::string& modemInit) {
    std::string command = UpperCase(modemInit.substr(0, 40));
    if (command.empty() || command.front() != 'A') {
        command = "AT" + command;
    }
    return command;
}

} // namespace qpfax
