#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "faxcomm/core/Class1Frames.h"

namespace qpfax {

class FaxEngine;

// Sends and receives the control frames of a Class 1 call on the engine's port. A frame
// to send goes out after a 20 ms pause; a frame announced by "CONNECT" is read as data
// up to DLE ETX, after which the modem's answer ("OK", "ERROR") is read as a line again.
class Class1FrameLink {
public:
    explicit Class1FrameLink(FaxEngine& engine) : engine_(engine) {}

    void Send(const std::vector<std::uint8_t>& frame);
    // "AT+FRH=3": listen for the next frame.
    void Listen();
    // "CONNECT" came: the frame's bytes follow.
    void StartReading();
    bool Reading() const { return reading_; }
    // Reads the bytes waiting; true once the frame is complete (the bytes after it are
    // left for the line reader).
    bool ReadFrame();
    // Forgets the frames of the message before (a new exchange starts).
    void NewMessage();

    const std::vector<std::uint8_t>& Frame() const { return reader_.Frame(); }
    std::uint8_t Fcf() const { return reader_.Fcf(); }
    // The final frame of the message has come.
    bool FinalSeen() const { return finalSeen_; }
    // The control field of the last frame received.
    std::uint8_t LastFcf() const { return lastFcf_; }

private:
    FaxEngine& engine_;
    Class1FrameReader reader_;
    bool reading_ = false;
    bool finalSeen_ = false;
    std::uint8_t lastFcf_ = 0;
};

// True when `line` contains `text`.
inline bool LineHas(const std::string& line, const char* text) {
    return line.find(text) != std::string::npos;
}

} // namespace qpfax
