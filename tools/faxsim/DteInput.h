#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace faxsim {

// Splits what the computer writes to the modem into the pieces spandsp's T.31 modem can
// take one at a time: it processes a whole input buffer in the mode it was in when the
// buffer arrived, so a command that switches to data must not share a buffer with the
// data behind it, and it takes HDLC frames into a fixed buffer without checking their
// length. So: whole command lines; whole HDLC frames up to DLE ETX (refusing frames that
// are too long); page data in small blocks, each ending at the DLE ETX that ends the data.
class DteInput {
public:
    static constexpr std::uint8_t kDle = 0x10;
    static constexpr std::uint8_t kEtx = 0x03;
    static constexpr std::size_t kMaxCommandLine = 256;

    // The modem's state, which decides how the next bytes are read.
    enum class Mode {
        Command,   // command lines
        Frames,    // +FTH: HDLC frames, each ending with DLE ETX
        Data,      // +FTM: data, DLE-stuffed, ending with DLE ETX
        Receiving, // +FRH/+FRM or dialling: any byte aborts
    };

    struct Piece {
        enum class Type { CommandLine, Frame, RefusedFrame, Data, Abort };
        Type type = Type::Data;
        std::string bytes;               // what to hand to the modem (empty for RefusedFrame)
        std::string line;                // CommandLine: the line without its carriage return
        std::vector<std::uint8_t> frame; // Frame: the frame without stuffing and DLE ETX
        std::size_t refusedLength = 0;   // RefusedFrame: its length
        bool endOfData = false;          // Data: the piece ends with DLE ETX
    };

    explicit DteInput(std::size_t maxFrameLength) : maxFrameLength_(maxFrameLength) {}

    void Append(const char* bytes, std::size_t count);
    std::size_t Buffered() const { return buffer_.size(); }
    // Drops what is buffered up to and including the next carriage return (the rest of a
    // line whose first byte aborted dialling).
    void DropRestOfLine();

    // The next piece for a modem in `mode`, or nothing when more input is needed. Data
    // pieces hold at most `maxData` bytes; with `garbleData` every fourth data byte is
    // replaced by 0xFF (a training check the line has damaged).
    std::optional<Piece> Next(Mode mode, std::size_t maxData, bool garbleData = false);

private:
    std::optional<Piece> NextLine();
    std::optional<Piece> NextFrame();
    Piece NextData(std::size_t maxData, bool garble);

    std::size_t maxFrameLength_;
    std::string buffer_;
    bool afterCarriageReturn_ = false; // a line feed right after it is dropped
    bool dataDle_ = false;             // the last data byte handed over was a lone DLE
    std::size_t dataCount_ = 0;        // data bytes handed over in this data block
    bool refusing_ = false;            // dropping the rest of a frame that is too long
    std::size_t refusedLength_ = 0;
    bool refusedDle_ = false;
};

} // namespace faxsim
