#pragma once

#include <cstdint>
#include <string>

// Names and numbers shared by the serial port dispatcher, its device layer and the port
// component: result codes, trigger messages, trigger kinds, line and status bits, and the
// tick unit of the fax library's timers.
namespace qpcomm {

// Result codes of the dispatcher operations (0 is success). Their texts come from
// qp::ErrorText.
enum PortResult : int {
    prOK = 0,
    prBadHandle = -1001,
    prBadArgument = -1002,
    prGotQuitMsg = -1003,
    prPortNotAssigned = -1005,
    prInternal = -1006,
    prBadId = -2001,
    prBaudRate = -2002,
    prByteSize = -2003,
    prDefault = -2004,
    prHardware = -2005,
    prMemory = -2006,
    prCommNotOpen = -2007,
    prAlreadyOpen = -2008,
    prNoHandles = -2009,
    prNoTimers = -2010,
    prNoPortSelected = -2011,
    prNullApi = -3001,
    prNotSupported = -3002,
    prRegisterHandlerFailed = -3003,
    prPutBlockFail = -3004,
    prGetBlockFail = -3005,
    prOutputBufferTooSmall = -3006,
    prBufferIsEmpty = -3007,
    prTracingNotEnabled = -3008,
    prLoggingNotEnabled = -3009,
    prNoMoreTriggers = -5001,
    prTriggerTooLong = -5002,
    prBadTriggerHandle = -5003,
    // File-system codes a device open can end with (negated system error numbers).
    prTooManyOpenFiles = -4,
    prAccessDenied = -5,
    prInsufficientMemory = -8,
};

// Result of the client-slot operations for a slot number outside 1..10: -1002 seen as an
// unsigned 16-bit value.
constexpr std::uint16_t BadClientSlot = 64534;

// Trigger messages delivered to the handlers of a port.
enum TriggerMessageId : std::uint16_t {
    msgTriggerAvail = 0x7E01,  // wParam = bytes waiting
    msgTriggerData = 0x7E02,   // wParam = data trigger handle
    msgTriggerTimer = 0x7E03,  // wParam = timer trigger handle
    msgTriggerStatus = 0x7E04, // wParam = status trigger handle
};

// One delivered trigger: the message, its wParam (handle or byte count) and its lParam
// (port component index in the high word, extra data in the low word).
struct TriggerMessage {
    std::uint16_t message = 0;
    std::uint16_t wParam = 0;
    std::uint32_t lParam = 0;

    std::uint16_t Data() const { return static_cast<std::uint16_t>(lParam & 0xFFFF); }
    std::uint16_t ComponentIndex() const { return static_cast<std::uint16_t>(lParam >> 16); }
};

// Status trigger kinds (0 creates a status trigger that never fires until given a kind).
enum StatusTriggerKind : int {
    skNone = 0,
    skModem = 1,       // value: mask of modem lines (mslCTS ... mslDCD) whose change fires
    skLine = 2,        // value: mask of line errors (lemOverrun ... lemBreak)
    skOutBuffFree = 3, // value: fires when the free output space is at least this
    skOutBuffUsed = 4, // value: fires when the queued output is at most this
    skOutSent = 5,     // fires once after output has been written
};
constexpr int MaxStatusTriggerKind = 5;

// Modem status shadow: line states in the high nibble, their change bits in the low one.
enum ModemStatusBits : std::uint8_t {
    mslDeltaCTS = 0x01,
    mslDeltaDSR = 0x02,
    mslDeltaRI = 0x04,
    mslDeltaDCD = 0x08,
    mslCTS = 0x10,
    mslDSR = 0x20,
    mslRI = 0x40,
    mslDCD = 0x80,
};

// Line errors as the device reports them (the line-status word) ...
enum LineErrorFlags : std::uint16_t {
    lfeOverrun = 2,
    lfeParity = 4,
    lfeFraming = 8,
    lfeBreak = 16,
};
// ... and as a line-error trigger selects them (mask bit n selects flag bit n + 1).
enum LineErrorMask : std::uint16_t {
    lemOverrun = 1,
    lemParity = 2,
    lemFraming = 4,
    lemBreak = 8,
};

// Parity values of the line settings; ParityUnchanged keeps the current one in SetLine.
enum ParityValue : int { pvNone = 0, pvOdd = 1, pvEven = 2, pvMark = 3, pvSpace = 4 };

// "Leave unchanged" values of SetLine.
constexpr int BaudUnchanged = 0;
constexpr int ParityUnchanged = 5;
constexpr int DataBitsUnchanged = 9;
constexpr int StopBitsUnchanged = 3;

// Line settings of a port. StopBits is 1 or 2; with 5 data bits 2 means one and a half.
struct LineSettings {
    int baud = 19200;
    int parity = pvNone;
    int dataBits = 8;
    int stopBits = 1;

    bool operator==(const LineSettings&) const = default;
};

// Hardware flow options (a set) and software flow options.
enum HWFlowOption : int {
    hwfUseDTR = 1,
    hwfUseRTS = 2,
    hwfRequireDSR = 4,
    hwfRequireCTS = 8,
};
enum SWFlowOption : int { swfNone = 0, swfReceive = 1, swfTransmit = 2, swfBoth = 3 };

// Sizes and limits of the dispatcher.
constexpr int MaxPorts = 50;
constexpr std::size_t DispatchBufferSize = 8192;
constexpr int MaxTimerTriggers = 10;
constexpr int MaxDataTriggers = 20;
constexpr int MaxStatusTriggers = 10;
constexpr int FirstTriggerHandle = 2;
constexpr int LastTriggerHandle = 41;
constexpr std::size_t MaxDataTriggerLength = 64;
constexpr int ClientSlotCount = 10;
constexpr std::size_t MaxTraceSize = 32760;
constexpr std::size_t MaxLogSize = 65520;

// Timers count ticks of 55 ms; seconds become ticks as seconds * 1675 / 92.
constexpr int TickMilliseconds = 55;
constexpr long SecondsToTicks(long seconds) {
    return seconds * 1675 / 92;
}
constexpr long TicksToMilliseconds(long ticks) {
    return ticks * TickMilliseconds;
}

} // namespace qpcomm
