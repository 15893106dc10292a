#pragma once

#include <optional>
#include <string>
#include <vector>

namespace faxsim {

// What the far end does when it is dialled.
enum class DialOutcome { Answer, Busy, NoAnswer, NoDialtone };

struct DialPlan {
    DialOutcome outcome = DialOutcome::Answer;
    int rings = 1; // ring-back cycles before the far end answers
};

// Per-number behaviour of the simulated exchange: an ordered list of PATTERN=ACTION rules
// separated by ';'. PATTERN is matched against the digits of the dialled number only
// ('*' any run of digits, '?' one digit, digits themselves); ACTION is "answer",
// "rings:N", "busy", "no-answer" or "no-dialtone". The first rule that matches decides.
// The preset "test-line" stands for "*0=busy;*9=no-answer;*8=no-dialtone;*1=rings:1;
// ... *7=rings:7".
class NumberRules {
public:
    // Parses `text`; nothing with `error` set when a rule is malformed.
    static std::optional<NumberRules> Parse(const std::string& text, std::string* error);

    // The plan of the first rule matching `dialled`, or nothing when no rule matches.
    std::optional<DialPlan> Match(const std::string& dialled) const;
    bool Empty() const { return rules_.empty(); }

    // The digits of a dial string ("T555-0199,W1" gives "55501991").
    static std::string Digits(const std::string& dialled);
    // True when `digits` matches the glob `pattern` ('*', '?', literal digits).
    static bool Matches(const std::string& pattern, const std::string& digits);

private:
    struct Rule {
        std::string pattern;
        DialPlan plan;
    };
    std::vector<Rule> rules_;
};

// Parses "answer", "rings:N", "busy", "no-answer", "no-dialtone".
std::optional<DialPlan> ParseDialAction(const std::string& text);

} // namespace faxsim
