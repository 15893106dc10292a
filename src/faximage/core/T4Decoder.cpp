#include "faximage/core/T4Decoder.h"

#include <cstring>

namespace {

constexpr unsigned kNarrowLineBytes = 216;
constexpr unsigned kWideLineBytes = 256;

} // namespace

T4Decoder::T4Decoder() : trees_{&T4DecodeTree::White(), &T4DecodeTree::Black()} {
    std::memset(line_, 0, sizeof line_);
}

void T4Decoder::Restart() {
    std::memset(line_, 0, sizeof line_);
    position_ = 0;
    colour_ = 0;
    node_ = T4DecodeTree::Root;
    ignoring_ = false;
    eolSeen_ = false;
    pageEnded_ = false;
    eolCount_ = 0;
    invalidCodes_ = 0;
}

void T4Decoder::ClearLine() {
    std::memset(line_, 0, (position_ + 7) / 8 + 1);
    position_ = 0;
}

int T4Decoder::Feed(const std::uint8_t* data, std::size_t size) {
    std::uint64_t bits = 0;
    unsigned count = 0;
    std::size_t next = 0;
    while (!pageEnded_) {
        while (count <= 56 && next < size) {
            bits |= static_cast<std::uint64_t>(data[next++]) << count;
            count += 8;
        }
        if (count == 0) {
            break;
        }
        const T4DecodeTree& tree = *trees_[colour_];
        if (ignoring_) {
            // After an invalid code, 1 bits are skipped up to the next 0 bit.
            const std::uint64_t inverted = ~bits;
            const unsigned ones = inverted ? static_cast<unsigned>(__builtin_ctzll(inverted)) : 64;
            if (ones >= count) {
                bits = 0;
                count = 0;
                continue;
            }
            bits >>= ones;
            count -= ones;
            ignoring_ = false;
            continue;
        }
        if (node_ == tree.FillNode()) {
            const unsigned zeros = bits ? static_cast<unsigned>(__builtin_ctzll(bits)) : 64;
            if (zeros >= count) {
                bits = 0;
                count = 0;
                continue;
            }
            bits = zeros + 1 < 64 ? bits >> (zeros + 1) : 0;
            count -= zeros + 1;
            node_ = T4DecodeTree::Root;
            const int result = OnEol();
            if (result != 0) {
                return result;
            }
            continue;
        }
        int reached;
        if (node_ == T4DecodeTree::Root && count >= static_cast<unsigned>(T4DecodeTree::StepBits)) {
            const T4DecodeTree::Step& step = tree.StepFromRoot(static_cast<unsigned>(bits));
            bits >>= step.bits;
            count -= step.bits;
            reached = step.node;
        } else {
            reached = tree.Child(node_, static_cast<int>(bits & 1));
            bits >>= 1;
            --count;
        }
        if (!tree.IsLeaf(reached)) {
            node_ = reached;
            continue;
        }
        node_ = T4DecodeTree::Root;
        const int result = OnLeaf(tree.At(reached));
        if (result != 0) {
            return result;
        }
    }
    return 0;
}

int T4Decoder::OnLeaf(const T4DecodeTree::Node& node) {
    switch (node.kind) {
    case T4DecodeTree::Kind::Eol:
        return OnEol();
    case T4DecodeTree::Kind::Run:
        OnRun(node.run);
        return 0;
    case T4DecodeTree::Kind::Invalid:
        ++invalidCodes_;
        ignoring_ = true;
        return 0;
    case T4DecodeTree::Kind::Inner:
        break;
    }
    return 0;
}

int T4Decoder::OnEol() {
    int result = 0;
    const unsigned bytePosition = position_ / 8;
    if (position_ > 0 && (bytePosition == kNarrowLineBytes || bytePosition == kWideLineBytes) &&
        sink_) {
        result = sink_(line_, bytePosition);
    }
    ClearLine();
    colour_ = 0;
    eolSeen_ = true;
    if (++eolCount_ >= 3) {
        pageEnded_ = true;
    }
    return result;
}

void T4Decoder::OnRun(unsigned length) {
    if (eolSeen_ && position_ / 8 + length / 8 < LineBufferSize) {
        if (colour_ == 1) {
            SetBlackBits(position_, length);
        }
        position_ += length;
    }
    if (length < 64) {
        colour_ ^= 1;
    }
    eolCount_ = 0;
}

void T4Decoder::SetBlackBits(unsigned from, unsigned count) {
    if (count == 0) {
        return;
    }
    unsigned byte = from >> 3;
    const unsigned end = from + count;
    const unsigned lastByte = (end - 1) >> 3;
    const std::uint8_t headMask = static_cast<std::uint8_t>(0xFF >> (from & 7));
    const std::uint8_t tailMask = static_cast<std::uint8_t>(0xFF << (7 - ((end - 1) & 7)));
    if (byte == lastByte) {
        line_[byte] |= headMask & tailMask;
        return;
    }
    line_[byte++] |= headMask;
    if (lastByte > byte) {
        std::memset(line_ + byte, 0xFF, lastByte - byte);
    }
    line_[lastByte] |= tailMask;
}
