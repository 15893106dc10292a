#pragma once

#include <cstdint>
#include <string>

namespace qpfax {

// A rate of a Class 1 call: its index in the rate table (1 = 2400 ... 6 = 14400), bit rate
// and the modulation code that follows "AT+FTM=" / "AT+FRM=".
struct Class1Rate {
    int index = 0;
    int bitsPerSecond = 0;
    std::string code;
};

// The Class 1 rate table, the rates a modem or a remote station takes (sets of indexes,
// bit 1 << index), the rate choice and the step down after a failed training.
class Class1Rates {
public:
    static constexpr int Lowest = 1;
    static constexpr int Highest = 6;
    using IndexSet = unsigned;

    // The table entry of an index (index 0 for one outside the table).
    static Class1Rate Rate(int index);
    // What the modem takes by its answer to "AT+FTM=?" or "AT+FRM=?".
    static IndexSet LocalCapability(const std::string& answer);
    // What a remote station takes by byte A of its DIS.
    static IndexSet RemoteCapability(std::uint8_t disByteA);
    // The highest index of a set (0 when empty).
    static int HighestOf(IndexSet set);
    // The highest index both take whose rate is at most `desiredBps`; the lowest common
    // index when none is that slow; 0 when they share none.
    static int Choose(IndexSet local, IndexSet remote, int desiredBps);
    // The next lower index in `both` below `index`; 0 when there is none.
    static int StepDown(int index, IndexSet both);
    // Rate bits of byte A in DIS (the highest index offered) and DCS (the chosen one).
    static std::uint8_t DisRateBits(int index);
    static std::uint8_t DcsRateBits(int index);
    // The modulation code for page data after a good training check: V.17 pages start
    // with the short training (146, 122, 98, 74); other modulations keep their code.
    static std::string PageCode(const std::string& trainingCode);
    // The rate and modulation a received DCS's byte A chooses.
    static Class1Rate FromDcs(std::uint8_t dcsByteA);
};

} // namespace qpfax
