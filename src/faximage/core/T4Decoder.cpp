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
        // Top up the bit buffer. Whole words: the bits loaded past the counted ones are
        // the very bytes the next load puts in the same place, so OR-ing them is harmless.
        if (next + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, data + next, sizeof word);
            bits |= word << count;
            const unsigned take = (63 - count) >> 3;
            next += take;
            count += take * 8;
        } else {
            while (count <= 56 && next < size) {
                bits |= static_cast<std::uint64_t>(data[next++]) << count;
                count += 8;
            }
        }
        if (count == 0) {
            break;
        }
        // Fast path: whole code words from the root of the current colour's tree, with the
        // line state in locals.
        if (!ignoring_ && node_ == T4DecodeTree::Root) {
            int colour = colour_;
            unsigned position = position_;
            const bool drawing = eolSeen_;
            const T4DecodeTree::Step* shortSteps[2] = {trees_[0]->ShortSteps(),
                                                       trees_[1]->ShortSteps()};
            const T4DecodeTree::Step* steps[2] = {trees_[0]->Steps(), trees_[1]->Steps()};
            constexpr unsigned shortMask = (1u << T4DecodeTree::ShortStepBits) - 1;
            constexpr unsigned mask = (1u << T4DecodeTree::StepBits) - 1;
            while (count >= static_cast<unsigned>(T4DecodeTree::StepBits)) {
                const T4DecodeTree::Step* found = &shortSteps[colour][bits & shortMask];
                if (found->bits == 0) {
                    found = &steps[colour][bits & mask];
                }
                const T4DecodeTree::Step& step = *found;
                if (step.kind != T4DecodeTree::Kind::Run) {
                    break;
                }
                bits >>= step.bits;
                count -= step.bits;
                const unsigned length = step.run;
                if (drawing && position / 8 + length / 8 < LineBufferSize) {
                    if (colour == 1) {
                        SetBlackBits(position, length);
                    }
                    position += length;
                }
                colour ^= length < 64 ? 1 : 0;
                eolCount_ = 0;
            }
            colour_ = colour;
            position_ = position;
            if (count >= static_cast<unsigned>(T4DecodeTree::StepBits)) {
                const T4DecodeTree::Step& step =
                    trees_[colour_]->StepFromRoot(static_cast<unsigned>(bits));
                bits >>= step.bits;
                count -= step.bits;
                int result = 0;
                switch (step.kind) {
                case T4DecodeTree::Kind::Inner:
                    node_ = trees_[colour_]->FillNode(); // zeros before an EOL
                    break;
                case T4DecodeTree::Kind::Eol:
                    result = OnEol();
                    break;
                case T4DecodeTree::Kind::Invalid:
                    ++invalidCodes_;
                    ignoring_ = true;
                    break;
                case T4DecodeTree::Kind::Run:
                    break;
                }
                if (result != 0) {
                    return result;
                }
                continue;
            }
        }
        const bool atRoot = !ignoring_ && node_ == T4DecodeTree::Root;
        if (count == 0 ||
            (atRoot && (count >= static_cast<unsigned>(T4DecodeTree::StepBits) || next < size))) {
            continue; // top up first
        }
        const int result = SlowStep(bits, count);
        if (result != 0) {
            return result;
        }
    }
    return 0;
}

// One step of the bit-by-bit walk: skipping 1 bits after an invalid code, skipping fill
// zeros before an EOL, or following one child of the current node.
int T4Decoder::SlowStep(std::uint64_t& bits, unsigned& count) {
    const T4DecodeTree& tree = *trees_[colour_];
    if (ignoring_) {
        const std::uint64_t inverted = ~bits;
        const unsigned ones = inverted ? static_cast<unsigned>(__builtin_ctzll(inverted)) : 64;
        if (ones >= count) {
            bits = 0;
            count = 0;
            return 0;
        }
        bits >>= ones;
        count -= ones;
        ignoring_ = false;
        return 0;
    }
    if (node_ == tree.FillNode()) {
        const unsigned zeros = bits ? static_cast<unsigned>(__builtin_ctzll(bits)) : 64;
        if (zeros >= count) {
            bits = 0;
            count = 0;
            return 0;
        }
        bits = zeros + 1 < 64 ? bits >> (zeros + 1) : 0;
        count -= zeros + 1;
        node_ = T4DecodeTree::Root;
        return OnEol();
    }
    const int reached = tree.Child(node_, static_cast<int>(bits & 1));
    bits >>= 1;
    --count;
    if (!tree.IsLeaf(reached)) {
        node_ = reached;
        return 0;
    }
    node_ = T4DecodeTree::Root;
    return OnLeaf(tree.At(reached));
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
