#include "spell/core/SimilarityScore.h"

#include <string>

namespace {

struct Match {
    std::size_t inA = 0;
    std::size_t inB = 0;
    std::size_t length = 0;
};

Match LongestCommonSubstring(std::string_view a, std::string_view b) {
    Match best;
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t j = 0; j < b.size(); ++j) {
            std::size_t length = 0;
            while (i + length < a.size() && j + length < b.size() &&
                   a[i + length] == b[j + length]) {
                ++length;
            }
            if (length > best.length) {
                best = {i, j, length};
            }
        }
    }
    return best;
}

} // namespace

int CommonSubstringTotal(std::string_view a, std::string_view b) {
    if (a.empty() || b.empty()) {
        return 0;
    }
    const Match match = LongestCommonSubstring(a, b);
    if (match.length == 0) {
        return 0;
    }
    const int right = CommonSubstringTotal(a.substr(match.inA + match.length),
                                           b.substr(match.inB + match.length));
    const int left = CommonSubstringTotal(a.substr(0, match.inA), b.substr(0, match.inB));
    return 2 * static_cast<int>(match.length) + right + left;
}

int SimilarityScore(std::string_view candidate, std::string_view upperWord) {
    std::string plain;
    plain.reserve(candidate.size());
    for (char c : candidate) {
        if (c != '\'') {
            plain.push_back(c);
        }
    }
    const std::size_t lengths = plain.size() + upperWord.size();
    if (lengths == 0) {
        return 0;
    }
    return static_cast<int>(static_cast<std::size_t>(CommonSubstringTotal(plain, upperWord)) * 100 /
                            lengths);
}
