#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QObject>

#include "faxcomm/core/PortConstants.h"
#include "faxcomm/core/TriggerTable.h"

enum TDeviceLayer { dlNone, dlComm, dlFossil, dlWin32, dlWinsock, dlOther };
enum TParity { pNone, pOdd, pEven, pMark, pSpace };
enum TDispatcherMode { dNone, dTimer, dCommEvents, dAuto, dWin32 };
// Members of the hardware flow option set.
enum THWFlowOption : unsigned {
    hwfUseDTR = qpcomm::hwfUseDTR,
    hwfUseRTS = qpcomm::hwfUseRTS,
    hwfRequireDSR = qpcomm::hwfRequireDSR,
    hwfRequireCTS = qpcomm::hwfRequireCTS,
};
using THWFlowOptions = unsigned; // a set of THWFlowOption bits
enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };
enum TTapiMode { tmNone, tmAuto, tmOn, tmOff };

// The serial port component: a port number, line settings, flow control, trace and log,
// and the port's triggers turned into events.
//
// Lives on the thread that created it (the user-interface thread): every method must be
// called there, and every event runs there, delivered from the port's dispatcher thread
// through the component's hidden "qpComWindow" mailbox with a bounded wait of 1000 ms.
// Closing (and destroying) the component withdraws events still on their way: none runs
// after the close. Failed operations raise the exception of their result code
// (ComPortExceptions.h).
class MainThreadMailbox;

class TQpComPort final : public QObject {
    Q_OBJECT

public:
    explicit TQpComPort(QObject* owner = nullptr);
    ~TQpComPort() override;
    Q_DISABLE_COPY_MOVE(TQpComPort)

    // ---- published properties ----
    TDeviceLayer DeviceLayer() const { return deviceLayer_; }
    void SetDeviceLayer(TDeviceLayer value) { deviceLayer_ = value; }
    // Port number; 0 means not chosen. Changing it on an open port reopens the port on the
    // new number, keeping the triggers and the trace and log states.
    std::uint16_t ComNumber() const { return comNumber_; }
    void SetComNumber(std::uint16_t value);
    std::int32_t Baud() const { return baud_; }
    void SetBaud(std::int32_t value);
    TParity Parity() const { return parity_; }
    void SetParity(TParity value);
    std::uint16_t DataBits() const { return dataBits_; }
    void SetDataBits(std::uint16_t value);
    std::uint16_t StopBits() const { return stopBits_; }
    void SetStopBits(std::uint16_t value);
    std::uint16_t InSize() const { return inSize_; }
    void SetInSize(std::uint16_t value);
    std::uint16_t OutSize() const { return outSize_; }
    void SetOutSize(std::uint16_t value);
    bool AutoOpen() const { return autoOpen_; }
    void SetAutoOpen(bool value) { autoOpen_ = value; }
    TDispatcherMode DispatcherMode() const { return dispatcherMode_; }
    void SetDispatcherMode(TDispatcherMode value) { dispatcherMode_ = value; }
    bool Open() const { return slot_ != 0; }
    void SetOpen(bool value);
    bool DTR() const { return dtr_; }
    void SetDTR(bool value);
    bool RTS() const { return rts_; }
    void SetRTS(bool value);
    THWFlowOptions HWFlowOptions() const { return hwFlowOptions_; }
    void SetHWFlowOptions(THWFlowOptions value);
    TSWFlowOptions SWFlowOptions() const { return swFlowOptions_; }
    void SetSWFlowOptions(TSWFlowOptions value);
    char XOnChar() const { return xonChar_; }
    void SetXOnChar(char value);
    char XOffChar() const { return xoffChar_; }
    void SetXOffChar(char value);
    std::uint16_t BufferFull() const { return bufferFull_; }
    void SetBufferFull(std::uint16_t value);
    std::uint16_t BufferResume() const { return bufferResume_; }
    void SetBufferResume(std::uint16_t value);
    // On an open port setting these is a command (see the .cpp); on a closed one only
    // tlOff and tlOn are kept.
    TTraceLogState Tracing() const { return tracing_; }
    void SetTracing(TTraceLogState value);
    TTraceLogState Logging() const { return logging_; }
    void SetLogging(TTraceLogState value);
    std::uint16_t TraceSize() const { return traceSize_; }
    void SetTraceSize(std::uint16_t value);
    std::uint16_t LogSize() const { return logSize_; }
    void SetLogSize(std::uint16_t value);
    // Dump files; a name without a folder is taken in the data folder.
    const std::string& TraceName() const { return traceName_; }
    void SetTraceName(const std::string& value) { traceName_ = value.substr(0, 255); }
    const std::string& LogName() const { return logName_; }
    void SetLogName(const std::string& value) { logName_ = value.substr(0, 255); }
    bool TraceHex() const { return traceHex_; }
    void SetTraceHex(bool value) { traceHex_ = value; }
    bool LogHex() const { return logHex_; }
    void SetLogHex(bool value) { logHex_ = value; }
    bool UseMSRShadow() const { return useMSRShadow_; }
    void SetUseMSRShadow(bool value) { useMSRShadow_ = value; }
    bool UseEventWord() const { return useEventWord_; }
    void SetUseEventWord(bool value) { useEventWord_ = value; }
    std::uint16_t TriggerLength() const { return triggerLength_; }
    void SetTriggerLength(std::uint16_t value);
    std::uint16_t CommNotificationLevel() const { return commNotificationLevel_; }
    void SetCommNotificationLevel(std::uint16_t value) { commNotificationLevel_ = value; }
    TTapiMode TapiMode() const { return tapiMode_; }
    void SetTapiMode(TTapiMode value) { tapiMode_ = value; }

    // ---- events (run on the component's thread) ----
    std::function<void(TQpComPort&, std::uint16_t msg, std::uint16_t handle, std::uint16_t data)>
        OnTrigger;
    std::function<void(TQpComPort&, std::uint16_t count)> OnTriggerAvail;
    std::function<void(TQpComPort&, std::uint16_t handle)> OnTriggerData;
    std::function<void(TQpComPort&, std::uint16_t handle)> OnTriggerStatus;
    std::function<void(TQpComPort&, std::uint16_t handle)> OnTriggerTimer;
    std::function<void(TQpComPort&, std::uint16_t error, bool lineBreak)> OnTriggerLineError;
    std::function<void(TQpComPort&)> OnTriggerModemStatus;
    std::function<void(TQpComPort&)> OnTriggerOutbuffFree;
    std::function<void(TQpComPort&)> OnTriggerOutbuffUsed;
    std::function<void(TQpComPort&)> OnTriggerOutSent;
    std::function<void(TQpComPort&, char c)> OnWaitChar;

    // ---- methods ----
    // The dispatcher slot of the open port (0 when closed), for the fax engine.
    int PortHandle() const { return slot_; }
    // The index of this component in the process-wide component table (1..100, carried
    // in the high word of the trigger messages' third value).
    int ComponentIndex() const { return componentIndex_; }
    std::string DeviceName() const;

    bool CharReady();
    char GetChar();
    char PeekChar();
    void PutChar(char c);
    void OutputString(const std::string& text);
    int InBuffUsed();
    int OutBuffUsed();
    int OutBuffFree();
    void FlushInBuffer();
    void FlushOutBuffer();
    // The modem status shadow (its change bits are cleared by reading).
    std::uint8_t ModemStatus();
    bool DCD();

    // Triggers added here are the component's own: they are kept, disarmed, over a close
    // and the next open. Triggers others add to the port directly are not.
    int AddTimerTrigger();
    int AddDataTrigger(const std::string& text, bool ignoreCase = false);
    int AddStatusTrigger(int kind);
    void RemoveTrigger(int handle);
    void SetTimerTrigger(int handle, long ticks, bool active);
    void SetStatusTrigger(int handle, std::uint32_t value, bool active);

    // Waits until `text` has been received or `ticks` (55 ms each) have passed; see the
    // .cpp for the matching rule. Trigger delivery is suspended meanwhile. With `yield`
    // the application's pending events are processed on every pass.
    bool WaitForString(const std::string& text, long ticks, bool ignoreCase, bool yield);

    // Where exceptions thrown by event handlers go (by default a warning on the log).
    static void SetHandlerErrorReporter(std::function<void(const std::exception&)> reporter);

private:
    void OpenPort();
    void ClosePort();
    void EnsureOpen();
    void ApplyLine();
    void FillFlowLimits(double fullShare, double resumeShare);
    void ApplyHWFlow();
    void ApplySWFlow();
    void ApplyTraceCommand(TTraceLogState value, bool trace);
    void ReopenOnNewNumber(std::uint16_t number);
    void RegisterHandler();
    void HandleTrigger(const qpcomm::TriggerMessage& message);
    void RaiseStatusEvent(int handle, std::uint16_t data);
    // Opens the port if needed (AutoOpen) and runs a dispatcher operation on it; a
    // negative result raises its exception.
    template <typename Operation>
    int OnPort(Operation operation);
    int AddOwnTrigger(int handle);

    MainThreadMailbox* window_ = nullptr; // the hidden "qpComWindow" that receives triggers
    int componentIndex_ = 0;
    int slot_ = 0;
    int handlerId_ = 0;
    // Counts opens; each open's deliveries carry its number, so that one still on its way
    // from an earlier open is recognised even when the port reuses the slot.
    std::uint64_t openCount_ = 0;
    std::vector<int> ownTriggers_;
    std::optional<qpcomm::TriggerTable> savedTriggers_;

    TDeviceLayer deviceLayer_ = dlWin32;
    std::uint16_t comNumber_ = 0;
    std::int32_t baud_ = 19200;
    TParity parity_ = pNone;
    std::uint16_t dataBits_ = 8;
    std::uint16_t stopBits_ = 1;
    std::uint16_t inSize_ = 4096;
    std::uint16_t outSize_ = 4096;
    bool autoOpen_ = true;
    TDispatcherMode dispatcherMode_ = dWin32;
    bool dtr_ = true;
    bool rts_ = true;
    THWFlowOptions hwFlowOptions_ = 0;
    TSWFlowOptions swFlowOptions_ = swfNone;
    char xonChar_ = 17;
    char xoffChar_ = 19;
    std::uint16_t bufferFull_ = 0;
    std::uint16_t bufferResume_ = 0;
    TTraceLogState tracing_ = tlOff;
    TTraceLogState logging_ = tlOff;
    std::uint16_t traceSize_ = 10000;
    std::uint16_t logSize_ = 10000;
    std::string traceName_ = "ZADE.TRC";
    std::string logName_ = "ZADE.LOG";
    bool traceHex_ = true;
    bool logHex_ = true;
    bool useMSRShadow_ = true;
    bool useEventWord_ = true;
    std::uint16_t triggerLength_ = 1;
    std::uint16_t commNotificationLevel_ = 10;
    TTapiMode tapiMode_ = tmAuto;
};
