#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qpfax {

// The HDLC control frames of a Class 1 fax call as the program sends them to the modem
// ("AT+FTH=3") and reads them back ("AT+FRH=3"): address 0xFF, control 0x03 (0x13 on the
// last frame of a message), the fax control field (FCF) and its information field (FIF).
class Class1Frames {
public:
    static constexpr std::uint8_t Address = 0xFF;
    static constexpr std::uint8_t Control = 0x03;
    static constexpr std::uint8_t ControlFinal = 0x13;
    static constexpr std::uint8_t FinalBit = 0x10;

    enum Fcf : std::uint8_t {
        fcfCsi = 0x40,
        fcfTsi = 0x43,
        fcfDis = 0x80,
        fcfDcs = 0x83,
        fcfCfr = 0x84,
        fcfFtt = 0x44,
        fcfMps = 0x4F,
        fcfEop = 0x2F,
        fcfMcf = 0x8C,
        fcfRtn = 0x4C,
        fcfRtp = 0xCC,
        fcfDcn = 0xFB,
    };

    // True when a received control field is `kind`, whichever way its last bit stands
    // (the bit tells which station made the call, not what the frame is).
    static constexpr bool Is(std::uint8_t fcf, Fcf kind) { return (fcf | 1) == (kind | 1); }
    // CSI or TSI.
    static constexpr bool IsStationId(std::uint8_t fcf) { return (fcf & 0xFC) == 0x40; }

    // TSI or CSI: 20 bytes, blanks first, then the station ID's characters last to first.
    static std::vector<std::uint8_t> StationId(std::uint8_t fcf, const std::string& id);
    // DIS offering rate indexes up to `highestIndex` (see Class1Rates).
    static std::vector<std::uint8_t> Dis(int highestIndex);
    // DCS for the chosen rate index, the page's resolution and width and the scan time.
    static std::vector<std::uint8_t> Dcs(int rateIndex, bool fine, bool wide, int scanTimeCode);
    // A frame without information field (CFR, FTT, MPS, EOP, MCF, DCN): always final.
    static std::vector<std::uint8_t> Simple(std::uint8_t fcf);
    // The frame as the modem takes it: DLE doubled, DLE ETX at the end.
    static std::vector<std::uint8_t> ForModem(const std::vector<std::uint8_t>& frame);

    // The station ID in a received TSI/CSI: the information field read last to first,
    // blanks around it dropped. `frame` starts with the address byte.
    static std::string StationIdOf(const std::vector<std::uint8_t>& frame);
    // Byte `n` (from 0) of the information field, 0 when the frame is shorter.
    static std::uint8_t FifByte(const std::vector<std::uint8_t>& frame, std::size_t n);

    // Scan-time bits of byte B for a scan-time code and resolution, and the code that
    // byte B's scan-time bits mean.
    static std::uint8_t ScanTimeBits(int scanTimeCode, bool fine);
    static int ScanTimeCode(std::uint8_t byteB);
};

// Reads one frame from the bytes the modem gives after "CONNECT": bytes before the
// address byte are dropped, DLE DLE is one DLE, DLE ETX ends the frame. The frame keeps
// the two check bytes the modem appends.
class Class1FrameReader {
public:
    // Takes bytes; returns how many it used (fewer than `size` once the frame has ended).
    std::size_t Feed(const std::uint8_t* data, std::size_t size);
    bool Complete() const { return complete_; }
    const std::vector<std::uint8_t>& Frame() const { return frame_; }
    bool Final() const { return frame_.size() > 1 && (frame_[1] & Class1Frames::FinalBit) != 0; }
    std::uint8_t Fcf() const { return frame_.size() > 2 ? frame_[2] : 0; }
    void Reset();

private:
    static constexpr std::size_t MaxFrame = 256;
    std::vector<std::uint8_t> frame_;
    bool pendingDle_ = false;
    bool complete_ = false;
};

// Counts the training check's bytes after "AT+FRM=": good when fewer than 10 % of the
// bytes up to DLE ETX are not zero.
class TrainingCheck {
public:
    // The zero bytes a sender sends at `bitsPerSecond` (1.5 s worth, at most 8192).
    static std::size_t SendLength(int bitsPerSecond);

    std::size_t Feed(const std::uint8_t* data, std::size_t size);
    bool Ended() const { return ended_; }
    bool Good() const { return total_ > 0 && nonZero_ * 10 < total_; }
    std::size_t Total() const { return total_; }
    std::size_t NonZero() const { return nonZero_; }
    void Reset();

private:
    std::size_t total_ = 0;
    std::size_t nonZero_ = 0;
    bool pendingDle_ = false;
    bool ended_ = false;
};

} // namespace qpfax
