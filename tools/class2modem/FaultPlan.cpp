#include "FaultPlan.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::optional<int> Number(const std::string& text, int lowest, int highest) {
    if (text.empty() || text.size() > 6 || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        })) {
        return std::nullopt;
    }
    const int value = std::atoi(text.c_str());
    if (value < lowest || value > highest) {
        return std::nullopt;
    }
    return value;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

} // namespace

bool FaultPlan::Counted::Take() {
    if (remaining == 0) {
        return false;
    }
    if (remaining > 0) {
        --remaining;
    }
    return true;
}

bool FaultPlan::Add(const std::string& faults, std::string& error) {
    FaultPlan copy = *this;
    for (const std::string& one : Split(faults, ',')) {
        if (!copy.AddOne(one, error)) {
            return false;
        }
    }
    *this = copy;
    return true;
}

bool FaultPlan::AddOne(const std::string& fault, std::string& error) {
    const std::vector<std::string> parts = Split(fault, ':');
    const std::string& name = parts[0];
    const auto fail = [&]() {
        error = "fault not understood: " + fault;
        return false;
    };
    const auto count = [&](Counted& counted) {
        if (parts.size() > 2) {
            return fail();
        }
        if (parts.size() == 1) {
            counted.remaining = -1;
            return true;
        }
        const auto n = Number(parts[1], 1, 1000000);
        if (!n) {
            return fail();
        }
        counted.remaining = *n;
        return true;
    };
    const auto page = [&](std::vector<PageFault>& list) {
        if (parts.size() > 2) {
            return fail();
        }
        const auto n = parts.size() == 2 ? Number(parts[1], 1, 100000) : std::optional<int>(1);
        if (!n) {
            return fail();
        }
        list.push_back(PageFault{*n, 0, Where::PostPage, false});
        return true;
    };
    if (name == "busy") {
        return count(busy_);
    }
    if (name == "nodial") {
        return count(noDialTone_);
    }
    if (name == "voice") {
        return count(voice_);
    }
    if (name == "nocarrier") {
        return count(noCarrier_);
    }
    if (name == "noanswer") {
        return count(noAnswer_);
    }
    if (name == "rtn") {
        return count(rejection_);
    }
    if (name == "cut") {
        return page(cuts_);
    }
    if (name == "can") {
        return page(cancels_);
    }
    if (name == "pagestatus") {
        if (parts.size() < 2 || parts.size() > 3) {
            return fail();
        }
        const auto status = Number(parts[1], 1, 5);
        const auto at = parts.size() == 3 ? Number(parts[2], 1, 100000) : std::optional<int>(1);
        if (!status || !at) {
            return fail();
        }
        pageStatus_.push_back(PageFault{*at, *status, Where::PostPage, false});
        return true;
    }
    if (name == "hangup") {
        if (parts.size() < 2 || parts.size() > 4) {
            return fail();
        }
        const auto code = Number(parts[1], 0, 255);
        if (!code) {
            return fail();
        }
        PageFault fault{1, *code, Where::PostPage, false};
        if (parts.size() == 3 && parts[2] == "connect") {
            fault.where = Where::Connect;
        } else if (parts.size() == 4 && (parts[2] == "page" || parts[2] == "post")) {
            const auto at = Number(parts[3], 1, 100000);
            if (!at) {
                return fail();
            }
            fault.page = *at;
            fault.where = parts[2] == "page" ? Where::PageStart : Where::PostPage;
        } else if (parts.size() != 2) {
            return fail();
        }
        hangups_.push_back(fault);
        return true;
    }
    if (name == "silent") {
        if (parts.size() > 3) {
            return fail();
        }
        Silence silence;
        silence.text = parts.size() >= 2 ? Upper(parts[1]) : std::string();
        silence.count.remaining = -1;
        if (parts.size() == 3) {
            const auto n = Number(parts[2], 1, 1000000);
            if (!n) {
                return fail();
            }
            silence.count.remaining = *n;
        }
        silences_.push_back(silence);
        return true;
    }
    if (parts.size() == 1 && name == "noxon") {
        noXon_ = true;
        return true;
    }
    if (parts.size() == 1 && name == "lower") {
        lowerCase_ = true;
        return true;
    }
    if (parts.size() == 1 && name == "extra-ok") {
        extraOk_ = true;
        return true;
    }
    return fail();
}

FaultPlan::DialFault FaultPlan::TakeDialFault() {
    if (noDialTone_.Take()) {
        return DialFault::NoDialTone;
    }
    if (busy_.Take()) {
        return DialFault::Busy;
    }
    if (voice_.Take()) {
        return DialFault::Voice;
    }
    if (noCarrier_.Take()) {
        return DialFault::NoCarrier;
    }
    if (noAnswer_.Take()) {
        return DialFault::NoAnswer;
    }
    return DialFault::None;
}

bool FaultPlan::TakeRejection() {
    return rejection_.Take();
}

std::optional<int> FaultPlan::TakePageStatus(int page) {
    for (PageFault& fault : pageStatus_) {
        if (!fault.used && fault.page == page) {
            fault.used = true;
            return fault.value;
        }
    }
    return std::nullopt;
}

std::optional<int> FaultPlan::TakeHangup(Where where, int page) {
    for (PageFault& fault : hangups_) {
        if (!fault.used && fault.where == where &&
            (where == Where::Connect || fault.page == page)) {
            fault.used = true;
            return fault.value;
        }
    }
    return std::nullopt;
}

bool FaultPlan::TakeCut(int page) {
    for (PageFault& fault : cuts_) {
        if (!fault.used && fault.page == page) {
            fault.used = true;
            return true;
        }
    }
    return false;
}

bool FaultPlan::TakeCancel(int page) {
    for (PageFault& fault : cancels_) {
        if (!fault.used && fault.page == page) {
            fault.used = true;
            return true;
        }
    }
    return false;
}

bool FaultPlan::TakeSilence(const std::string& commandLine) {
    const std::string upper = Upper(commandLine);
    for (Silence& silence : silences_) {
        if (upper.find(silence.text) != std::string::npos && silence.count.Take()) {
            return true;
        }
    }
    return false;
}
