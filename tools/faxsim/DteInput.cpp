#include "DteInput.h"

namespace faxsim {

void DteInput::Append(const char* bytes, std::size_t count) {
    buffer_.append(bytes, count);
}

void DteInput::DropRestOfLine() {
    const auto end = buffer_.find('\r');
    buffer_.erase(0, end == std::string::npos ? buffer_.size() : end + 1);
}

std::optional<DteInput::Piece> DteInput::Next(Mode mode, std::size_t maxData, bool garbleData) {
    if (mode != Mode::Data) {
        dataDle_ = false;
        dataCount_ = 0;
    }
    if (mode == Mode::Command && afterCarriageReturn_ && !buffer_.empty() && buffer_[0] == '\n') {
        buffer_.erase(0, 1);
    }
    if (mode != Mode::Command) {
        afterCarriageReturn_ = false;
    }
    if (buffer_.empty()) {
        return std::nullopt;
    }
    switch (mode) {
    case Mode::Command:
        return NextLine();
    case Mode::Frames:
        return NextFrame();
    case Mode::Data:
        return NextData(maxData, garbleData);
    case Mode::Receiving: {
        Piece piece;
        piece.type = Piece::Type::Abort;
        piece.bytes = buffer_.substr(0, 1);
        buffer_.erase(0, 1);
        return piece;
    }
    }
    return std::nullopt;
}

std::optional<DteInput::Piece> DteInput::NextLine() {
    const auto end = buffer_.find('\r');
    if (end == std::string::npos && buffer_.size() < kMaxCommandLine) {
        return std::nullopt;
    }
    const std::size_t length = end == std::string::npos ? buffer_.size() : end + 1;
    Piece piece;
    piece.type = Piece::Type::CommandLine;
    piece.bytes = buffer_.substr(0, length);
    for (char c : piece.bytes) {
        if (c == '\b' || c == 0x7F) {
            if (!piece.line.empty()) {
                piece.line.pop_back();
            }
        } else if (c != '\r' && c != '\n') {
            piece.line += c;
        }
    }
    buffer_.erase(0, length);
    afterCarriageReturn_ = end != std::string::npos;
    return piece;
}

std::optional<DteInput::Piece> DteInput::NextFrame() {
    if (refusing_) {
        // Drop the rest of a frame that is too long, up to its DLE ETX.
        std::size_t i = 0;
        for (; i < buffer_.size(); ++i) {
            const auto byte = static_cast<std::uint8_t>(buffer_[i]);
            if (refusedDle_) {
                refusedDle_ = false;
                if (byte == kEtx) {
                    ++i;
                    refusing_ = false;
                    break;
                }
                ++refusedLength_;
            } else if (byte == kDle) {
                refusedDle_ = true;
            } else {
                ++refusedLength_;
            }
        }
        buffer_.erase(0, i);
        if (refusing_) {
            return std::nullopt;
        }
        Piece piece;
        piece.type = Piece::Type::RefusedFrame;
        piece.refusedLength = refusedLength_;
        return piece;
    }

    std::vector<std::uint8_t> frame;
    bool dle = false;
    for (std::size_t i = 0; i < buffer_.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(buffer_[i]);
        if (dle) {
            dle = false;
            if (byte == kEtx) {
                Piece piece;
                piece.type = Piece::Type::Frame;
                piece.bytes = buffer_.substr(0, i + 1);
                piece.frame = std::move(frame);
                buffer_.erase(0, i + 1);
                return piece;
            }
            frame.push_back(byte); // DLE DLE stands for one DLE
        } else if (byte == kDle) {
            dle = true;
        } else {
            frame.push_back(byte);
        }
        if (frame.size() > maxFrameLength_) {
            refusing_ = true;
            refusedLength_ = frame.size();
            refusedDle_ = dle;
            buffer_.erase(0, i + 1);
            return NextFrame();
        }
    }
    return std::nullopt;
}

DteInput::Piece DteInput::NextData(std::size_t maxData, bool garble) {
    Piece piece;
    piece.type = Piece::Type::Data;
    std::size_t i = 0;
    while (i < buffer_.size() && i < maxData) {
        auto byte = static_cast<std::uint8_t>(buffer_[i]);
        if (dataDle_) {
            dataDle_ = false;
            if (byte == kEtx) {
                ++i;
                piece.endOfData = true;
                break;
            }
            if (byte == kDle) {
                ++dataCount_;
            }
        } else if (byte == kDle) {
            dataDle_ = true;
        } else {
            if (garble && dataCount_ % 4 == 3) {
                buffer_[i] = static_cast<char>(0xFF);
            }
            ++dataCount_;
        }
        ++i;
    }
    piece.bytes = buffer_.substr(0, i);
    buffer_.erase(0, i);
    if (piece.endOfData) {
        dataCount_ = 0;
    }
    return piece;
}

} // namespace faxsim
