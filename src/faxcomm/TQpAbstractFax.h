#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QPointer>

#include "faxcomm/core/FaxCodes.h"
#include "faxcomm/core/FaxEngine.h"

class TQpComPort;
class TQpAbstractFaxStatus;
class TQpFaxLog;
class FaxMailbox;
class FaxComponentClient;

using qpfax::TFaxClass;

// Base of the send and receive fax components: the settings every session shares, the
// port, status display and history log it works with, the events, and the values of the
// session in progress. Lives on the user-interface thread; every event runs there.
class TQpAbstractFax : public QObject {
    Q_OBJECT

public:
    explicit TQpAbstractFax(QObject* owner = nullptr);
    ~TQpAbstractFax() override;
    Q_DISABLE_COPY_MOVE(TQpAbstractFax)

    // ---- published properties ----
    int InitBaud() const { return initBaud_; }
    void SetInitBaud(int value) { initBaud_ = value; }
    int NormalBaud() const { return normalBaud_; }
    void SetNormalBaud(int value) { normalBaud_ = value; }
    TFaxClass FaxClass() const { return faxClass_; }
    void SetFaxClass(TFaxClass value) { faxClass_ = value; }
    const std::string& ModemInit() const { return modemInit_; }
    void SetModemInit(const std::string& value);
    const std::string& StationID() const { return stationId_; }
    void SetStationID(const std::string& value) { stationId_ = value.substr(0, 20); }
    TQpComPort* ComPort() const;
    // Assigning a port configures it for fax (8N1, 19200, 8192-byte queues, RTS/CTS).
    void SetComPort(TQpComPort* port);
    TQpAbstractFaxStatus* StatusDisplay() const;
    void SetStatusDisplay(TQpAbstractFaxStatus* display);
    TQpFaxLog* FaxLog() const;
    void SetFaxLog(TQpFaxLog* log);
    const std::string& FaxFile() const { return faxFile_; }
    void SetFaxFile(const std::string& value) { faxFile_ = value.substr(0, 255); }
    bool AbortNoConnect() const { return abortNoConnect_; }
    void SetAbortNoConnect(bool value) { abortNoConnect_ = value; }
    bool ExitOnError() const { return exitOnError_; }
    void SetExitOnError(bool value) { exitOnError_ = value; }
    bool SoftwareFlow() const { return softwareFlow_; }
    void SetSoftwareFlow(bool value) { softwareFlow_ = value; }
    std::uint16_t StatusInterval() const { return statusInterval_; }
    void SetStatusInterval(std::uint16_t value) { statusInterval_ = value; }
    std::uint16_t DesiredBPS() const { return desiredBps_; }
    void SetDesiredBPS(std::uint16_t value) { desiredBps_ = value; }
    bool DesiredECM() const { return desiredEcm_; }
    void SetDesiredECM(bool value) { desiredEcm_ = value; }
    const std::string& FaxFileExt() const { return faxFileExt_; }
    void SetFaxFileExt(const std::string& value) { faxFileExt_ = value.substr(0, 255); }

    // ---- events ----
    std::function<void(TQpAbstractFax&, bool first, bool last)> OnFaxStatus;
    std::function<void(TQpAbstractFax&, int logCode)> OnFaxLog;
    std::function<void(TQpAbstractFax&, int errorCode)> OnFaxError;
    std::function<void(TQpAbstractFax&, int errorCode)> OnFaxFinish;

    // ---- values of the session in progress (or the last one) ----
    qpfax::FaxProgress Progress() const;
    int FaxStatus() const { return Progress().status; }
    std::string RemoteID() const { return Progress().remoteId; }
    int LastError() const { return lastError_; }
    int HangupCode() const { return Progress().hangupCode; }
    bool InProgress() const { return engine_ != nullptr; }
    virtual bool IsSender() const = 0;

    // The classes the modem on ComPort supports (empty when it does not answer); during a
    // session the set found by the last query.
    qpfax::FaxClassSet QueryClasses();
    // The user's cancel.
    void Cancel();

    // Checks the port before a start: -1005, -1009, -3006 as exceptions.
    void CheckPort() const;

protected:
    friend class FaxComponentClient;
    qpfax::FaxEngineOptions BaseOptions() const;
    // Starts `engine` on the port; raises OnFaxError and OnFaxFinish when it cannot start.
    void StartEngine(std::shared_ptr<qpfax::FaxEngine> engine);
    qpfax::FaxClient& Client();

    // Engine questions and reports, on this thread.
    virtual bool AnswerNextFax(std::string&, std::string&, std::string&) { return false; }
    virtual std::string AnswerName() { return {}; }
    virtual bool AnswerAccept(const std::string&) { return true; }
    virtual void AfterLog(int) {}
    void HandleStatus(bool first, bool last);
    void HandleLog(int code);
    void HandleError(int code);
    void HandleFinish(int code);

    std::shared_ptr<qpfax::FaxEngine> engine_;
    qpfax::FaxProgress lastProgress_;

private:
    void FindOwnersComponents();

    FaxMailbox* mailbox_;
    std::unique_ptr<FaxComponentClient> client_;
    int initBaud_ = 0;
    int normalBaud_ = 0;
    TFaxClass faxClass_ = qpfax::fcDetect;
    std::string modemInit_;
    std::string stationId_;
    QPointer<TQpComPort> comPort_;
    QPointer<TQpAbstractFaxStatus> statusDisplay_;
    QPointer<TQpFaxLog> faxLog_;
    std::string faxFile_;
    bool abortNoConnect_ = false;
    bool exitOnError_ = false;
    bool softwareFlow_ = false;
    std::uint16_t statusInterval_ = 1;
    std::uint16_t desiredBps_ = 9600;
    bool desiredEcm_ = false;
    std::string faxFileExt_;
    int lastError_ = 0;
    qpfax::FaxClassSet lastClasses_ = 0;
};
