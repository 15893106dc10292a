#include "faximage/core/T4Decoder.h"

#include <array>
#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "the bit buffer is filled through little-endian words");

namespace {

constexpr unsigned kNarrowLineBytes = 216;
constexpr unsigned kWideLineBytes = 256;
constexpr unsigned kStepBits = T4DecodeTree::StepBits;
constexpr unsigned kShortMask = (1u << T4DecodeTree::ShortStepBits) - 1;
constexpr unsigned kStepMask = (1u << T4DecodeTree::StepBits) - 1;

// Most lines of text are short white runs and short black runs taking turns. For every 12
// bits that begin with a white terminating code followed by a black terminating code,
// both within the 12 bits: their length in bits (bits 0..3) and the two runs (bits 4..9
// and 10..15); 0 for any other 12 bits.
constexpr unsigned kPairBits = 12;
using PairTable = std::array<std::uint16_t, 1u << kPairBits>;

const PairTable& WhiteBlackPairs() {
    static const PairTable table = [] {
        PairTable pairs{};
        const T4DecodeTree::Step* white = T4DecodeTree::White().Steps();
        const T4DecodeTree::Step* black = T4DecodeTree::Black().Steps();
        for (unsigned window = 0; window < pairs.size(); ++window) {
            // Bits past the window read as zeros here, so only codes within it count.
            const T4DecodeTree::Step& first = white[window];
            if (first.kind != T4DecodeTree::Kind::Run || first.run >= 64 ||
                first.bits > kPairBits) {
                continue;
            }
            const T4DecodeTree::Step& second = black[window >> first.bits];
            if (second.kind != T4DecodeTree::Kind::Run || second.run >= 64 ||
                first.bits + second.bits > kPairBits) {
                continue;
            }
            pairs[window] = static_cast<std::uint16_t>((first.bits + second.bits) |
                                                       (first.run << 4) | (second.run << 10));
        }
        return pairs;
    }();
    return table;
}

} // namespace

// The bits of the block not yet decoded, the next one in bit 0 of `bits`.
struct T4Decoder::BitReader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t next = 0; // the first byte not loaded yet
    std::uint64_t bits = 0;
    unsigned count = 0;

    // Loads whole bytes while they fit. A whole word is OR-ed in at once: the bits it puts
    // past the counted ones are the very bytes the next load puts in the same place.
    void Refill() {
        if (next + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, data + next, sizeof word);
            bits |= word << count;
            const unsigned take = (63 - count) >> 3;
            next += take;
            count += take * 8;
            return;
        }
        while (count <= 56 && next < size) {
            bits |= static_cast<std::uint64_t>(data[next++]) << count;
            count += 8;
        }
    }
    void Skip(unsigned n) {
        bits = n < 64 ? bits >> n : 0;
        count -= n;
    }
};

T4Decoder::T4Decoder() : trees_{&T4DecodeTree::White(), &T4DecodeTree::Black()} {
    std::memset(changes_, 0, sizeof changes_);
    std::memset(line_, 0, sizeof line_);
}

void T4Decoder::Restart() {
    std::memset(changes_, 0, sizeof changes_);
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
    std::memset(changes_, 0, ((position_ >> 6) + 1) * sizeof changes_[0]);
    position_ = 0;
}

int T4Decoder::Feed(const std::uint8_t* data, std::size_t size) {
    BitReader in{data, size};
    while (!pageEnded_) {
        in.Refill();
        if (in.count == 0) {
            break;
        }
        int result = 0;
        if (!ignoring_ && node_ == T4DecodeTree::Root) {
            DecodeRuns(in);
            if (in.count == 0) {
                continue;
            }
            if (in.count < kStepBits) {
                result = SlowStep(in); // the block's last bits
            } else {
                // EOL, the fill zeros before one, or an invalid code.
                const T4DecodeTree::Step& step =
                    trees_[colour_]->StepFromRoot(static_cast<unsigned>(in.bits));
                in.Skip(step.bits);
                if (step.kind == T4DecodeTree::Kind::Inner) {
                    node_ = trees_[colour_]->FillNode();
                } else {
                    result = OnLeaf({step.kind, step.run, {0, 0}});
                }
            }
        } else {
            result = SlowStep(in);
        }
        if (result != 0) {
            return result;
        }
    }
    return 0;
}

// Whole run code words from the root of the current colour's tree, with the line state in
// locals, until a code that is not a run or the block has fewer than 13 bits left. From
// white, a white and a black terminating code are taken in one step where they can be.
// The change bits of the word the line has reached are kept in a register and stored
// whole after every run (a word the line leaves holds no changes beyond it).
void T4Decoder::DecodeRuns(BitReader& in) {
    const T4DecodeTree::Step* shortSteps[2] = {trees_[0]->ShortSteps(), trees_[1]->ShortSteps()};
    const T4DecodeTree::Step* steps[2] = {trees_[0]->Steps(), trees_[1]->Steps()};
    const std::uint16_t* pairs = WhiteBlackPairs().data();
    BitReader reader = in;
    int colour = colour_;
    unsigned position = position_;
    const bool drawing = eolSeen_;
    unsigned word = position >> 6;
    std::uint64_t changes = changes_[word];
    bool anyRun = false;
    // Adds a run to the line; a terminating code ends its colour, so the next pixel
    // starts the other one.
    auto addRun = [&](unsigned length, unsigned terminating) {
        if (drawing && position / 8 + length / 8 < LineBufferSize) {
            position += length;
        }
        const unsigned reached = position >> 6;
        changes = (reached == word ? changes : 0) ^
                  (static_cast<std::uint64_t>(terminating) << (63 - (position & 63)));
        word = reached;
        changes_[word] = changes;
    };
    for (;;) {
        if (reader.count < kStepBits) {
            reader.Refill();
            if (reader.count < kStepBits) {
                break;
            }
        }
        if (colour == 0) {
            const unsigned pair = pairs[reader.bits & ((1u << kPairBits) - 1)];
            if (pair != 0) {
                reader.bits >>= pair & 15;
                reader.count -= pair & 15;
                addRun((pair >> 4) & 63, 1);
                addRun(pair >> 10, 1);
                anyRun = true;
                continue;
            }
        }
        const T4DecodeTree::Step* step = &shortSteps[colour][reader.bits & kShortMask];
        if (step->bits == 0) {
            step = &steps[colour][reader.bits & kStepMask];
        }
        if (step->kind != T4DecodeTree::Kind::Run) {
            break;
        }
        reader.bits >>= step->bits;
        reader.count -= step->bits;
        const unsigned terminating = step->run < 64 ? 1 : 0;
        addRun(step->run, terminating);
        colour ^= static_cast<int>(terminating);
        anyRun = true;
    }
    in = reader;
    colour_ = colour;
    position_ = position;
    if (anyRun) {
        eolCount_ = 0;
    }
}

// One step of the bit-by-bit walk: skipping 1 bits after an invalid code, skipping fill
// zeros before an EOL, or following one child of the current node.
int T4Decoder::SlowStep(BitReader& in) {
    const T4DecodeTree& tree = *trees_[colour_];
    if (ignoring_) {
        const std::uint64_t inverted = ~in.bits;
        const unsigned ones = inverted ? static_cast<unsigned>(__builtin_ctzll(inverted)) : 64;
        if (ones >= in.count) {
            in.Skip(in.count);
            return 0;
        }
        in.Skip(ones);
        ignoring_ = false;
        return 0;
    }
    if (node_ == tree.FillNode()) {
        const unsigned zeros = in.bits ? static_cast<unsigned>(__builtin_ctzll(in.bits)) : 64;
        if (zeros >= in.count) {
            in.Skip(in.count);
            return 0;
        }
        in.Skip(zeros + 1);
        node_ = T4DecodeTree::Root;
        return OnEol();
    }
    const int reached = tree.Child(node_, static_cast<int>(in.bits & 1));
    in.Skip(1);
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
        PixelsFromChanges(bytePosition);
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
        position_ += length;
    }
    const unsigned terminating = length < 64 ? 1 : 0;
    MarkChange(position_, terminating);
    colour_ ^= static_cast<int>(terminating);
    eolCount_ = 0;
}

// Pixel x is black when an odd number of changes lie at or before it: a running XOR over
// the change bits, word by word from the top bit down, carried from word to word.
void T4Decoder::PixelsFromChanges(unsigned bytes) {
    std::uint64_t before = 0; // all ones when the pixel before the word is black
    for (unsigned word = 0; word < (bytes + 7) / 8; ++word) {
        std::uint64_t pixels = changes_[word];
        pixels ^= pixels >> 1;
        pixels ^= pixels >> 2;
        pixels ^= pixels >> 4;
        pixels ^= pixels >> 8;
        pixels ^= pixels >> 16;
        pixels ^= pixels >> 32;
        pixels ^= before;
        before = 0 - (pixels & 1);
        pixels = __builtin_bswap64(pixels);
        std::memcpy(line_ + 8 * word, &pixels, sizeof pixels);
    }
}
