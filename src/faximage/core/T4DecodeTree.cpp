#include "faximage/core/T4DecodeTree.h"

#include "faximage/core/T4Codes.h"

const T4DecodeTree& T4DecodeTree::White() {
    static const T4DecodeTree tree(0);
    return tree;
}

const T4DecodeTree& T4DecodeTree::Black() {
    static const T4DecodeTree tree(1);
    return tree;
}

T4DecodeTree::T4DecodeTree(int colour) {
    nodes_.reserve(320);
    nodes_.emplace_back();
    for (int run = 0; run < t4::TerminatingCount; ++run) {
        const t4::Code& code = t4::Terminating(colour, run);
        Insert(code.value, code.bits, Kind::Run, static_cast<std::uint16_t>(run));
    }
    for (int index = 0; index < t4::MakeUpCount; ++index) {
        const t4::Code& code = t4::MakeUp(colour, index);
        Insert(code.value, code.bits, Kind::Run, static_cast<std::uint16_t>((index + 1) * 64));
    }
    Insert(t4::Eol.value, t4::Eol.bits, Kind::Eol, 0);
    MarkInvalidChildren();
    LoopFillBits();
    BuildSteps();
}

void T4DecodeTree::Insert(std::uint16_t value, int bits, Kind kind, std::uint16_t run) {
    int node = Root;
    for (int depth = bits - 1; depth >= 0; --depth) {
        const int bit = (value >> depth) & 1;
        if (nodes_[static_cast<std::size_t>(node)].child[bit] == 0) {
            nodes_.emplace_back();
            nodes_[static_cast<std::size_t>(node)].child[bit] = static_cast<int>(nodes_.size()) - 1;
        }
        node = nodes_[static_cast<std::size_t>(node)].child[bit];
    }
    nodes_[static_cast<std::size_t>(node)].kind = kind;
    nodes_[static_cast<std::size_t>(node)].run = run;
}

// Every missing child of an inner node is a bit sequence no code word starts with.
void T4DecodeTree::MarkInvalidChildren() {
    const std::size_t count = nodes_.size();
    for (std::size_t index = 0; index < count; ++index) {
        for (int bit = 0; bit < 2; ++bit) {
            if (nodes_[index].kind == Kind::Inner && nodes_[index].child[bit] == 0) {
                Node invalid;
                invalid.kind = Kind::Invalid;
                nodes_.push_back(invalid);
                nodes_[index].child[bit] = static_cast<int>(nodes_.size()) - 1;
            }
        }
    }
}

// After eleven zeros only EOL can follow; further zeros are fill and are skipped.
void T4DecodeTree::LoopFillBits() {
    int node = Root;
    for (int zeros = 0; zeros < 11; ++zeros) {
        node = Child(node, 0);
    }
    fillNode_ = node;
    nodes_[static_cast<std::size_t>(node)].child[0] = node;
}

void T4DecodeTree::BuildSteps() {
    steps_.resize(1u << StepBits);
    for (unsigned window = 0; window < steps_.size(); ++window) {
        int node = Root;
        int bits = 0;
        while (bits < StepBits) {
            node = Child(node, (window >> bits) & 1);
            ++bits;
            if (IsLeaf(node)) {
                break;
            }
        }
        steps_[window] = {static_cast<std::uint8_t>(bits), static_cast<std::int16_t>(node)};
    }
}
