#pragma once

#include <cstdint>
#include <vector>

// The decoding tree of one colour: a binary tree over the T.4 code words of that colour
// (terminating and make-up codes, the extended make-up codes and EOL). A walk from the
// root follows one child per bit and ends in a leaf: a run, EOL, or an invalid code (a
// bit sequence no code word starts with). Zeros beyond the eleventh of an EOL are fill
// bits and keep the walk where it is.
class T4DecodeTree {
public:
    enum class Kind : std::uint8_t { Inner, Run, Eol, Invalid };

    struct Node {
        Kind kind = Kind::Inner;
        std::uint16_t run = 0;
        std::int32_t child[2] = {0, 0};
    };

    // A multi-bit step from the root: how many bits of a 13-bit window (first bit in bit
    // 0) the walk consumes and the node it reaches (a leaf, or the fill node after 13
    // zeros).
    struct Step {
        std::uint8_t bits;
        std::int16_t node;
    };

    static constexpr int Root = 0;
    static constexpr int StepBits = 13;

    static const T4DecodeTree& White();
    static const T4DecodeTree& Black();

    const Node& At(int index) const { return nodes_[static_cast<std::size_t>(index)]; }
    int Child(int index, int bit) const {
        return nodes_[static_cast<std::size_t>(index)].child[bit];
    }
    bool IsLeaf(int index) const { return At(index).kind != Kind::Inner; }
    int FillNode() const { return fillNode_; }
    int NodeCount() const { return static_cast<int>(nodes_.size()); }
    const Step& StepFromRoot(unsigned window) const {
        return steps_[window & ((1u << StepBits) - 1)];
    }

private:
    explicit T4DecodeTree(int colour);
    void Insert(std::uint16_t value, int bits, Kind kind, std::uint16_t run);
    void MarkInvalidChildren();
    void LoopFillBits();
    void BuildSteps();

    std::vector<Node> nodes_;
    std::vector<Step> steps_;
    int fillNode_ = 0;
};
