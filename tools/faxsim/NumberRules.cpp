#include "NumberRules.h"

#include <cctype>
#include <cstdlib>

namespace faxsim {

namespace {

const char* const kTestLinePreset = "*0=busy;*9=no-answer;*8=no-dialtone;*1=rings:1;*2=rings:2;"
                                    "*3=rings:3;*4=rings:4;*5=rings:5;*6=rings:6;*7=rings:7";

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool ValidPattern(const std::string& pattern) {
    if (pattern.empty()) {
        return false;
    }
    for (char c : pattern) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '*' && c != '?') {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<DialPlan> ParseDialAction(const std::string& text) {
    const std::string action = Trim(text);
    DialPlan plan;
    if (action == "answer") {
        return plan;
    }
    if (action == "busy") {
        plan.outcome = DialOutcome::Busy;
        return plan;
    }
    if (action == "no-answer") {
        plan.outcome = DialOutcome::NoAnswer;
        return plan;
    }
    if (action == "no-dialtone") {
        plan.outcome = DialOutcome::NoDialtone;
        return plan;
    }
    const std::string prefix = "rings:";
    if (action.rfind(prefix, 0) == 0 && action.size() > prefix.size()) {
        char* end = nullptr;
        const long rings = std::strtol(action.c_str() + prefix.size(), &end, 10);
        if (*end == '\0' && rings >= 1 && rings <= 20) {
            plan.rings = static_cast<int>(rings);
            return plan;
        }
    }
    return std::nullopt;
}

std::optional<NumberRules> NumberRules::Parse(const std::string& text, std::string* error) {
    const std::string source = Trim(text) == "test-line" ? kTestLinePreset : text;
    NumberRules rules;
    std::size_t start = 0;
    while (start <= source.size()) {
        auto end = source.find(';', start);
        if (end == std::string::npos) {
            end = source.size();
        }
        const std::string item = Trim(source.substr(start, end - start));
        start = end + 1;
        if (item.empty()) {
            continue;
        }
        const auto equals = item.find('=');
        const std::string pattern = equals == std::string::npos ? "" : Trim(item.substr(0, equals));
        const auto plan =
            equals == std::string::npos ? std::nullopt : ParseDialAction(item.substr(equals + 1));
        if (!ValidPattern(pattern) || !plan) {
            if (error) {
                *error = "bad number rule \"" + item + "\"";
            }
            return std::nullopt;
        }
        rules.rules_.push_back({pattern, *plan});
    }
    return rules;
}

std::optional<DialPlan> NumberRules::Match(const std::string& dialled) const {
    const std::string digits = Digits(dialled);
    for (const Rule& rule : rules_) {
        if (Matches(rule.pattern, digits)) {
            return rule.plan;
        }
    }
    return std::nullopt;
}

std::string NumberRules::Digits(const std::string& dialled) {
    std::string digits;
    for (char c : dialled) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits += c;
        }
    }
    return digits;
}

bool NumberRules::Matches(const std::string& pattern, const std::string& digits) {
    // Iterative glob match with backtracking to the last '*'.
    std::size_t p = 0;
    std::size_t d = 0;
    std::size_t star = std::string::npos;
    std::size_t resume = 0;
    while (d < digits.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == digits[d])) {
            ++p;
            ++d;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = d;
        } else if (star != std::string::npos) {
            p = star + 1;
            d = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

} // namespace faxsim
