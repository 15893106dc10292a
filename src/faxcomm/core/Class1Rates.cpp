#include "faxcomm/core/Class1Rates.h"

namespace qpfax {

namespace {

struct RateEntry {
    int bitsPerSecond;
    const char* code;
};

constexpr RateEntry kRates[] = {{0, ""},      {2400, "24"},   {4800, "48"},  {7200, "72"},
                                {9600, "96"}, {12000, "121"}, {14400, "145"}};

constexpr unsigned Bit(int index) {
    return 1u << static_cast<unsigned>(index);
}

constexpr std::uint8_t kV17 = 0x20;
constexpr std::uint8_t kReserved12000 = 0x10;
constexpr std::uint8_t kSpeedBits = 0x0C;
constexpr std::uint8_t kV29 = 0x04;
constexpr std::uint8_t kV27 = 0x08;

} // namespace

Class1Rate Class1Rates::Rate(int index) {
    if (index < Lowest || index > Highest) {
        return {};
    }
    return {index, kRates[index].bitsPerSecond, kRates[index].code};
}

Class1Rates::IndexSet Class1Rates::LocalCapability(const std::string& answer) {
    IndexSet set = Bit(1) | Bit(2);
    if (answer.find(',') == std::string::npos) {
        return set;
    }
    for (int index = 3; index <= Highest; ++index) {
        if (answer.find(kRates[index].code) != std::string::npos) {
            set |= Bit(index);
        }
    }
    return set;
}

Class1Rates::IndexSet Class1Rates::RemoteCapability(std::uint8_t disByteA) {
    IndexSet set = Bit(1) | Bit(2);
    // V.17 brings 12000 and 14400 (and the V.29 rates with its V.29/V.27ter bits).
    if ((disByteA & kV17) != 0) {
        set |= Bit(5) | Bit(6);
    }
    if ((disByteA & kReserved12000) != 0) {
        set |= Bit(5);
    }
    if ((disByteA & kSpeedBits) == kV29) {
        set |= Bit(4);
    }
    if ((disByteA & kSpeedBits) == kSpeedBits) {
        set |= Bit(3) | Bit(4);
    }
    return set;
}

int Class1Rates::HighestOf(IndexSet set) {
    for (int index = Highest; index >= Lowest; --index) {
        if ((set & Bit(index)) != 0) {
            return index;
        }
    }
    return 0;
}

int Class1Rates::Choose(IndexSet local, IndexSet remote, int desiredBps) {
    const IndexSet both = local & remote;
    int lowest = 0;
    for (int index = Highest; index >= Lowest; --index) {
        if ((both & Bit(index)) == 0) {
            continue;
        }
        if (kRates[index].bitsPerSecond <= desiredBps) {
            return index;
        }
        lowest = index;
    }
    return lowest;
}

int Class1Rates::StepDown(int index, IndexSet both) {
    for (int lower = index - 1; lower >= Lowest; --lower) {
        if ((both & Bit(lower)) != 0) {
            return lower;
        }
    }
    return 0;
}

std::uint8_t Class1Rates::DisRateBits(int index) {
    switch (index) {
    case 2:
        return kV27;
    case 3:
    case 4:
        return kSpeedBits;
    case 5:
    case 6:
        // V.17 with V.29 and V.27ter: the only coding that offers rates above 9600.
        return kV17 | kSpeedBits;
    default:
        return 0;
    }
}

std::uint8_t Class1Rates::DcsRateBits(int index) {
    switch (index) {
    case 2:
        return kV27;
    case 3:
        return kSpeedBits;
    case 4:
        return kV29;
    case 5:
        return kV17 | kV27; // V.17 at 12000
    case 6:
        return kV17;
    default:
        return 0;
    }
}

std::string Class1Rates::PageCode(const std::string& trainingCode) {
    for (const char* v17 : {"145", "121", "97", "73"}) {
        if (trainingCode == v17) {
            return std::to_string(std::stoi(trainingCode) + 1);
        }
    }
    return trainingCode;
}

Class1Rate Class1Rates::FromDcs(std::uint8_t dcsByteA) {
    const std::uint8_t speed = dcsByteA & kSpeedBits;
    if ((dcsByteA & kV17) != 0) {
        switch (speed) {
        case 0:
            return Rate(6);
        case kV27:
            return Rate(5);
        case kV29:
            return {4, 9600, "97"};
        default:
            return {3, 7200, "73"};
        }
    }
    if ((dcsByteA & kReserved12000) != 0) {
        return Rate(5);
    }
    switch (speed) {
    case 0:
        return Rate(1);
    case kV29:
        return Rate(4);
    case kV27:
        return Rate(2);
    default:
        return Rate(3);
    }
}

} // namespace qpfax
