#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "AtCommand.h"

namespace faxsim {

// Follows what spandsp's T.31 modem writes to the computer: result lines, received HDLC
// frames and received data. It knows which command is in progress and whether its final
// result has come, and it mends the modem's output where the simulated line needs it:
// - a second CONNECT while sending frames, which 0.0.6 gives when the computer has not
//   yet sent a frame by the end of the preamble, is dropped (the computer would take it
//   as the answer to a frame it has not sent);
// - a second CONNECT in front of received data, which 0.0.6 gives when the frame had
//   started before the computer asked for it (common: frames follow each other closely),
//   is dropped; so is the DLE ETX it sends before OK when a receive command is aborted
//   before anything arrived;
// - a result can be replaced (a refused frame ends with ERROR instead of the modem's OK);
// - the data of a training check can be damaged on the way (forced failed training).
// Output is held until the end of each line so that a line can still be dropped; call
// Take() after each piece of modem work to get the bytes for the computer. Results are
// expected in verbal form (V1), as the modem starts.
class ModemOutput {
public:
    // A received frame (without stuffing), and whether the modem passed it as good.
    std::function<void(const std::vector<std::uint8_t>& frame, bool good)> onFrame;
    // Every result or information line that reaches the computer.
    std::function<void(const std::string& line)> onLine;

    // The computer has given the modem this command.
    void CommandStarted(const AtCommand& command);
    // The computer has handed over an HDLC frame (while sending frames).
    void FrameSent();
    // The modem's output.
    void Process(const std::uint8_t* bytes, std::size_t count);
    // Lines from the modem are dropped up to its next final result, which is replaced by
    // `replacement`.
    void ReplaceNextFinal(const std::string& replacement);
    // The next received data block (a training check) is damaged on the way.
    void GarbleNextData() { garbleNext_ = true; }
    // While muted, the modem's output is dropped unseen.
    void SetMuted(bool muted) { muted_ = muted; }
    // Writes a result line of the simulator's own (as the modem would format it).
    void InjectResult(const std::string& text);

    // The bytes for the computer so far.
    std::string Take();

    const AtCommand& Command() const { return command_; }
    // True while a command waits for its final result.
    bool AwaitingFinal() const { return !final_; }
    // True while the computer only waits for the modem (see AtCommand::ComputerWaits).
    bool ComputerWaits() const;
    // True while the modem, sending frames, has asked for the next one (CONNECT).
    bool WaitsForFrame() const;
    // True while received frames or data are being passed to the computer.
    bool Delivering() const { return delivering_; }

private:
    void ProcessDelivery(std::uint8_t byte);
    void DeliverByte(std::uint8_t byte);
    void FinishLine();
    static bool IsFinal(const std::string& line);
    static bool IsConnect(const std::string& line);

    AtCommand command_;
    bool final_ = true;
    bool connected_ = false;
    bool connectSinceFrame_ = false;

    bool deliveryArmed_ = false; // CONNECT for received data: delivery starts after its line end
    bool delivering_ = false;
    bool deliveryDle_ = false;
    bool deliveringFrame_ = false;
    std::size_t deliveryCount_ = 0;
    std::size_t repeatMatched_ = 0; // bytes of a repeated CONNECT line held at delivery start
    bool checkingRepeat_ = false;
    bool garbleNext_ = false;
    bool garbling_ = false;
    std::vector<std::uint8_t> frame_;
    bool frameWaitsForResult_ = false;

    std::string held_;
    std::string text_;
    int separatorsToDrop_ = 0;
    bool strayDle_ = false; // a DLE outside received data: dropped with the ETX after it
    bool replacing_ = false;
    std::string replacement_;
    std::string out_;
    bool muted_ = false;
};

} // namespace faxsim
