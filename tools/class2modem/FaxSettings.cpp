#include "FaxSettings.h"

#include <cctype>
#include <cstdio>

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace

FaxSettings::FaxSettings(std::string supportedClasses)
    : supportedClasses_(std::move(supportedClasses)) {
    Reset();
}

void FaxSettings::Reset() {
    fclass_ = "0";
    dis_ = FaxParameters{};
    dcc_ = FaxParameters{};
    dcs_ = FaxParameters{};
    dcs_.values = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    localId_.clear();
    pollingId_.clear();
    receive_ = 0;
    adaptiveAnswer_ = 0;
    bitOrder_ = 0;
    pageStatus_ = 1;
    flow_ = 1;
    for (int& report : reports_) {
        report = 0;
    }
    errorReports_ = 0;
    phaseCTimeout_ = 30;
    copyQuality_ = 0;
}

std::string FaxSettings::Number(int value) const {
    char text[16];
    std::snprintf(text, sizeof text, Class20() ? "%X" : "%d", value);
    return text;
}

std::string FaxSettings::FormatHangup(int code) const {
    if (!Class20()) {
        return std::to_string(code);
    }
    // Class 2.0 writes the same code digits read as hexadecimal: 52 -> "52", 100 -> "A0".
    char text[8];
    std::snprintf(text, sizeof text, "%X%X", code / 10, code % 10);
    return text;
}

bool FaxSettings::SetString(const std::string& argument, std::string& target) const {
    std::string text = argument;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    } else if (text.find('"') != std::string::npos) {
        return false;
    }
    if (text.size() > 20) {
        return false;
    }
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) {
            return false;
        }
    }
    target = text;
    return true;
}

bool FaxSettings::SetNumber(const std::string& argument, int highest, int& target) const {
    if (argument.empty() || argument.size() > 4) {
        return false;
    }
    int value = 0;
    for (const char c : argument) {
        if (!std::isxdigit(static_cast<unsigned char>(c)) ||
            (!Class20() && !std::isdigit(static_cast<unsigned char>(c)))) {
            return false;
        }
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
        value = value * (Class20() ? 16 : 10) + digit;
    }
    if (value > highest) {
        return false;
    }
    target = value;
    return true;
}

FaxSettings::Outcome FaxSettings::SetClass(const AtCommand& command,
                                           std::vector<std::string>& info) {
    switch (command.op) {
    case AtCommand::Op::Test:
        info.push_back(supportedClasses_);
        return Outcome::Ok;
    case AtCommand::Op::Read:
        info.push_back(fclass_);
        return Outcome::Ok;
    case AtCommand::Op::Set: {
        const std::string list = "," + supportedClasses_ + ",";
        std::string value = command.argument;
        if (value == "2.0" || value == "2" || value == "1" || value == "0" || value == "1.0") {
            if (list.find("," + value + ",") == std::string::npos) {
                return Outcome::Error;
            }
            fclass_ = value;
            return Outcome::Ok;
        }
        return Outcome::Error;
    }
    case AtCommand::Op::Execute:
        return Outcome::Error;
    }
    return Outcome::Error;
}

FaxSettings::Outcome FaxSettings::Execute(const AtCommand& command,
                                          std::vector<std::string>& info) {
    if (command.name == "+FCLASS") {
        return SetClass(command, info);
    }
    if (command.name.rfind("+F", 0) != 0) {
        return Outcome::NotParameter;
    }
    const std::string name = command.name.substr(2);
    const bool c2 = Class2();
    const bool c20 = Class20();
    const auto op = command.op;
    using Op = AtCommand::Op;

    // Read-only identification.
    const bool maker = (c2 && name == "MFR") || (c20 && name == "MI");
    const bool model = (c2 && name == "MDL") || (c20 && name == "MM");
    const bool revision = (c2 && name == "REV") || (c20 && name == "MR");
    if (maker || model || revision) {
        if (op != Op::Read && op != Op::Execute) {
            return Outcome::Error;
        }
        info.push_back(maker ? "Quillpost" : model ? "Class 2/2.0 emulator" : "1.0");
        return Outcome::Ok;
    }

    // Session parameter lists.
    FaxParameters* list = nullptr;
    bool readOnly = false;
    if ((c2 && name == "DIS") || (c20 && name == "IS")) {
        list = &dis_;
    } else if ((c2 && name == "DCC") || (c20 && name == "CC")) {
        list = &dcc_;
    } else if ((c2 && name == "DCS") || (c20 && name == "CS")) {
        list = &dcs_;
        readOnly = true;
    }
    if (list) {
        switch (op) {
        case Op::Test:
            info.push_back(FaxParameters::Ranges(c20));
            return Outcome::Ok;
        case Op::Read:
            info.push_back(list->Format(c20));
            return Outcome::Ok;
        case Op::Set:
            return !readOnly && list->Apply(command.argument, c20) ? Outcome::Ok : Outcome::Error;
        case Op::Execute:
            return Outcome::Error;
        }
    }

    // Station identifiers.
    std::string* text = nullptr;
    if ((c2 && name == "LID") || (c20 && name == "LI")) {
        text = &localId_;
    } else if ((c2 && name == "CIG") || (c20 && name == "PI")) {
        text = &pollingId_;
    }
    if (text) {
        switch (op) {
        case Op::Test:
            info.push_back("(20)(32-127)");
            return Outcome::Ok;
        case Op::Read:
            info.push_back(Quoted(*text));
            return Outcome::Ok;
        case Op::Set:
            return SetString(command.argument, *text) ? Outcome::Ok : Outcome::Error;
        case Op::Execute:
            return Outcome::Error;
        }
    }

    // Single numbers.
    int* number = nullptr;
    int highest = 1;
    std::string range = "(0,1)";
    if ((c2 || c20) && name == "CR") {
        number = &receive_;
    } else if ((c2 || c20) && name == "AA") {
        number = &adaptiveAnswer_;
    } else if ((c2 && name == "BOR") || (c20 && name == "BO")) {
        number = &bitOrder_;
        highest = 3;
        range = "(0-3)";
    } else if ((c2 && name == "PTS") || (c20 && name == "PS")) {
        number = &pageStatus_;
        highest = 5;
        range = "(1-5)";
    } else if (c20 && name == "LO") {
        number = &flow_;
        highest = 2;
        range = "(0-2)";
    } else if (c20 && name == "IE") {
        number = &errorReports_;
    } else if ((c2 && name == "PHCTO") || (c20 && name == "CT")) {
        number = &phaseCTimeout_;
        highest = 255;
        range = c20 ? "(0-FF)" : "(0-255)";
    } else if ((c2 || c20) && name == "CQ") {
        number = &copyQuality_;
        highest = 2;
        range = "(0-2)";
    }
    if (number) {
        switch (op) {
        case Op::Test:
            info.push_back(range);
            return Outcome::Ok;
        case Op::Read:
            info.push_back(Number(*number));
            return Outcome::Ok;
        case Op::Set:
            return SetNumber(command.argument, highest, *number) ? Outcome::Ok : Outcome::Error;
        case Op::Execute:
            return Outcome::Error;
        }
    }

    // Report switches (Class 2.0): rpr, tpr, idr, nsr.
    if (c20 && name == "NR") {
        if (op == Op::Test) {
            info.push_back("(0,1),(0,1),(0,1),(0,1)");
            return Outcome::Ok;
        }
        if (op == Op::Read) {
            info.push_back(Number(reports_[0]) + "," + Number(reports_[1]) + "," +
                           Number(reports_[2]) + "," + Number(reports_[3]));
            return Outcome::Ok;
        }
        if (op != Op::Set) {
            return Outcome::Error;
        }
        int values[4] = {reports_[0], reports_[1], reports_[2], reports_[3]};
        std::size_t start = 0;
        for (int i = 0; i < 4; ++i) {
            const std::size_t comma = command.argument.find(',', start);
            const std::string field =
                command.argument.substr(start, comma == std::string::npos ? comma : comma - start);
            if (!field.empty() && !SetNumber(field, 1, values[i])) {
                return Outcome::Error;
            }
            if (comma == std::string::npos) {
                break;
            }
            if (i == 3) {
                return Outcome::Error;
            }
            start = comma + 1;
        }
        for (int i = 0; i < 4; ++i) {
            reports_[i] = values[i];
        }
        return Outcome::Ok;
    }

    // Hang-up status and buffer size (read only).
    if (((c2 && name == "HNG") || (c20 && name == "HS")) && op == Op::Read) {
        info.push_back(FormatHangup(hangupCode_));
        return Outcome::Ok;
    }
    if (c2 && name == "BUF" && op == Op::Read) {
        info.push_back("0,2048,0,0");
        return Outcome::Ok;
    }
    return Outcome::NotParameter;
}
