#include "ModemOutput.h"

namespace faxsim {

namespace {

constexpr std::uint8_t kDle = 0x10;
constexpr std::uint8_t kEtx = 0x03;
const std::string kRepeatedConnect = "\r\nCONNECT\r\n";

bool IsSeparator(std::uint8_t byte) {
    return byte == '\r' || byte == '\n';
}

} // namespace

void ModemOutput::CommandStarted(const AtCommand& command) {
    command_ = command;
    final_ = false;
    connected_ = false;
    connectSinceFrame_ = false;
    frameWaitsForResult_ = false;
}

void ModemOutput::FrameSent() {
    connectSinceFrame_ = false;
}

bool ModemOutput::ComputerWaits() const {
    if (final_ || !command_.ComputerWaits()) {
        return false;
    }
    // After ATA's CONNECT the modem waits for the computer's first frame.
    return !(command_.kind == AtKind::Answer && connected_);
}

bool ModemOutput::WaitsForFrame() const {
    const bool sendingFrames =
        command_.kind == AtKind::SendFrames || command_.kind == AtKind::Answer;
    return sendingFrames && !final_ && connectSinceFrame_;
}

void ModemOutput::ReplaceNextFinal(const std::string& replacement) {
    replacing_ = true;
    replacement_ = replacement;
}

void ModemOutput::InjectResult(const std::string& text) {
    held_ += "\r\n" + text + "\r\n";
    final_ = final_ || IsFinal(text);
    if (onLine) {
        onLine(text);
    }
}

std::string ModemOutput::Take() {
    if (text_.empty()) {
        out_ += held_;
        held_.clear();
    }
    std::string bytes;
    bytes.swap(out_);
    return bytes;
}

void ModemOutput::Process(const std::uint8_t* bytes, std::size_t count) {
    if (muted_) {
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = bytes[i];
        if (delivering_) {
            ProcessDelivery(byte);
            continue;
        }
        if (deliveryArmed_) {
            deliveryArmed_ = false;
            delivering_ = true;
            if (byte == '\n') {
                held_ += static_cast<char>(byte);
            } else {
                ProcessDelivery(byte);
            }
            continue;
        }
        if (strayDle_) {
            strayDle_ = false;
            if (byte == kEtx) {
                continue;
            }
            text_ += static_cast<char>(kDle);
            held_ += static_cast<char>(kDle);
        }
        if (byte == kDle) {
            strayDle_ = true;
            continue;
        }
        if (IsSeparator(byte)) {
            if (!text_.empty()) {
                FinishLine();
            }
            if (separatorsToDrop_ > 0) {
                --separatorsToDrop_;
                continue;
            }
            held_ += static_cast<char>(byte);
        } else {
            separatorsToDrop_ = 0;
            text_ += static_cast<char>(byte);
            held_ += static_cast<char>(byte);
        }
    }
}

void ModemOutput::ProcessDelivery(std::uint8_t byte) {
    if (checkingRepeat_) {
        if (byte == static_cast<std::uint8_t>(kRepeatedConnect[repeatMatched_])) {
            if (++repeatMatched_ == kRepeatedConnect.size()) {
                checkingRepeat_ = false; // the whole repeated line is dropped
            }
            return;
        }
        checkingRepeat_ = false;
        for (std::size_t i = 0; i < repeatMatched_; ++i) {
            DeliverByte(static_cast<std::uint8_t>(kRepeatedConnect[i]));
        }
    }
    DeliverByte(byte);
}

void ModemOutput::DeliverByte(std::uint8_t byte) {
    std::uint8_t out = byte;
    if (deliveryDle_) {
        deliveryDle_ = false;
        if (byte == kEtx) {
            delivering_ = false;
            garbling_ = false;
            frameWaitsForResult_ = deliveringFrame_;
        } else if (byte == kDle) {
            frame_.push_back(kDle);
            ++deliveryCount_;
        }
    } else if (byte == kDle) {
        deliveryDle_ = true;
    } else {
        if (garbling_ && deliveryCount_ % 4 == 3) {
            out = 0xFF;
        }
        if (deliveringFrame_) {
            frame_.push_back(byte);
        }
        ++deliveryCount_;
    }
    out_ += held_;
    held_.clear();
    out_ += static_cast<char>(out);
}

void ModemOutput::FinishLine() {
    const std::string line = text_;
    text_.clear();
    const bool isFinal = IsFinal(line);
    bool drop = false;

    if (replacing_) {
        drop = true;
        if (isFinal) {
            replacing_ = false;
            final_ = true;
        }
    } else if (IsConnect(line)) {
        connected_ = true;
        const bool sendingFrames =
            command_.kind == AtKind::SendFrames || command_.kind == AtKind::Answer;
        if (sendingFrames && connectSinceFrame_) {
            drop = true;
        }
        connectSinceFrame_ = true;
        const bool receiving = command_.kind == AtKind::ReceiveFrames ||
                               command_.kind == AtKind::ReceiveData ||
                               command_.kind == AtKind::Dial;
        if (receiving) {
            deliveryArmed_ = true;
            checkingRepeat_ = true;
            repeatMatched_ = 0;
            deliveryDle_ = false;
            deliveryCount_ = 0;
            deliveringFrame_ = command_.kind != AtKind::ReceiveData;
            frame_.clear();
            garbling_ = !deliveringFrame_ && garbleNext_;
            if (garbling_) {
                garbleNext_ = false;
            }
        }
    } else if (isFinal) {
        final_ = true;
        if (frameWaitsForResult_) {
            frameWaitsForResult_ = false;
            if (onFrame) {
                onFrame(frame_, line == "OK");
            }
        }
    }

    if (drop) {
        held_.resize(held_.size() - line.size());
        while (!held_.empty() && IsSeparator(static_cast<std::uint8_t>(held_.back()))) {
            held_.pop_back();
        }
        separatorsToDrop_ = 2;
        if (isFinal && !replacing_ && !replacement_.empty()) {
            const std::string replacement = replacement_;
            replacement_.clear();
            out_ += held_;
            held_.clear();
            InjectResult(replacement);
            out_ += held_;
            held_.clear();
        }
        return;
    }
    out_ += held_;
    held_.clear();
    if (onLine) {
        onLine(line);
    }
}

bool ModemOutput::IsConnect(const std::string& line) {
    return line == "CONNECT";
}

bool ModemOutput::IsFinal(const std::string& line) {
    static const char* const finals[] = {"OK",          "ERROR",        "NO CARRIER", "BUSY",
                                         "NO DIALTONE", "NO DIAL TONE", "NO ANSWER",  "+FCERROR"};
    for (const char* final : finals) {
        if (line == final) {
            return true;
        }
    }
    return false;
}

} // namespace faxsim
