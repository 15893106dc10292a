#include "faxcomm/TQpAbstractFax.h"

#include <QCoreApplication>

#include "faxcomm/FaxComponentClient.h"
#include "faxcomm/FaxExceptions.h"
#include "faxcomm/FaxMailbox.h"
#include "faxcomm/TQpAbstractFaxStatus.h"
#include "faxcomm/TQpComPort.h"
#include "faxcomm/TQpFaxLog.h"
#include "faxcomm/core/ModemCommander.h"
#include "faxcomm/core/ResponseReader.h"

TQpAbstractFax::TQpAbstractFax(QObject* owner)
    : QObject(owner), mailbox_(new FaxMailbox(this)),
      client_(std::make_unique<FaxComponentClient>(*this, *mailbox_)) {
    FindOwnersComponents();
}

TQpAbstractFax::~TQpAbstractFax() {
    if (engine_) {
        engine_->Stop();
        engine_.reset();
    }
}

void TQpAbstractFax::FindOwnersComponents() {
    QObject* owner = parent();
    if (owner == nullptr) {
        return;
    }
    if (auto* port = owner->findChild<TQpComPort*>()) {
        SetComPort(port);
    }
    if (auto* display = owner->findChild<TQpAbstractFaxStatus*>();
        display != nullptr && display->Fax() == nullptr) {
        SetStatusDisplay(display);
    }
    if (auto* log = owner->findChild<TQpFaxLog*>(); log != nullptr && log->Fax() == nullptr) {
        SetFaxLog(log);
    }
}

TQpComPort* TQpAbstractFax::ComPort() const {
    return comPort_;
}

TQpAbstractFaxStatus* TQpAbstractFax::StatusDisplay() const {
    return statusDisplay_;
}

TQpFaxLog* TQpAbstractFax::FaxLog() const {
    return faxLog_;
}

void TQpAbstractFax::SetModemInit(const std::string& value) {
    modemInit_ = qpfax::UpperCase(value.substr(0, 40));
}

void TQpAbstractFax::SetComPort(TQpComPort* port) {
    comPort_ = port;
    if (port == nullptr) {
        return;
    }
    port->SetDataBits(8);
    port->SetStopBits(1);
    port->SetParity(pNone);
    port->SetBaud(19200);
    port->SetInSize(8192);
    port->SetOutSize(8192);
    port->SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
}

void TQpAbstractFax::SetStatusDisplay(TQpAbstractFaxStatus* display) {
    statusDisplay_ = display;
    if (display != nullptr && display->Fax() == nullptr) {
        display->SetFax(this);
    }
}

void TQpAbstractFax::SetFaxLog(TQpFaxLog* log) {
    faxLog_ = log;
    if (log != nullptr && log->Fax() == nullptr) {
        log->SetFax(this);
    }
}

qpfax::FaxProgress TQpAbstractFax::Progress() const {
    return engine_ ? engine_->Progress() : lastProgress_;
}

qpfax::FaxClient& TQpAbstractFax::Client() {
    return *client_;
}

void TQpAbstractFax::CheckPort() const {
    if (comPort_ == nullptr) {
        RaiseFaxError(-1005);
    }
    if (comPort_->DeviceLayer() == dlWinsock) {
        RaiseFaxError(-1009);
    }
    if (comPort_->OutSize() < 8192) {
        RaiseFaxError(-3006);
    }
}

qpfax::FaxEngineOptions TQpAbstractFax::BaseOptions() const {
    qpfax::FaxEngineOptions o;
    o.faxClass = faxClass_;
    o.stationId = stationId_;
    o.modemInit = modemInit_;
    o.initBaud = initBaud_;
    o.normalBaud = normalBaud_ != 0 || comPort_ == nullptr ? normalBaud_ : comPort_->Baud();
    o.abortNoConnect = abortNoConnect_;
    o.exitOnError = exitOnError_;
    o.softwareFlow = softwareFlow_;
    o.statusInterval = statusInterval_;
    o.desiredBps = desiredBps_;
    o.desiredEcm = desiredEcm_;
    o.faxFileExt = faxFileExt_;
    return o;
}

void TQpAbstractFax::StartEngine(std::shared_ptr<qpfax::FaxEngine> engine) {
    if (!comPort_->Open()) {
        comPort_->SetOpen(true);
    }
    lastError_ = 0;
    engine_ = engine;
    const int result = engine->Start(comPort_->PortHandle());
    if (result < 0) {
        lastProgress_ = engine->Progress();
        engine_.reset();
        HandleError(result);
        if (OnFaxFinish) {
            OnFaxFinish(*this, result);
        }
    }
}

qpfax::FaxClassSet TQpAbstractFax::QueryClasses() {
    CheckPort();
    if (engine_) {
        return lastClasses_;
    }
    if (!comPort_->Open()) {
        comPort_->SetOpen(true);
    }
    qpfax::ModemCommander commander(comPort_->PortHandle(), 182,
                                    [] { QCoreApplication::processEvents(); });
    lastClasses_ = commander.QueryClasses(false, {});
    return lastClasses_;
}

void TQpAbstractFax::Cancel() {
    if (engine_) {
        engine_->Abort();
    }
}

void TQpAbstractFax::HandleStatus(bool first, bool last) {
    if (statusDisplay_) {
        statusDisplay_->UpdateDisplay(first, last);
    }
    if (OnFaxStatus) {
        OnFaxStatus(*this, first, last);
    }
}

void TQpAbstractFax::HandleLog(int code) {
    const qpfax::FaxProgress progress = Progress();
    if (!progress.faxFile.empty()) {
        faxFile_ = progress.faxFile;
    }
    if (faxLog_) {
        faxLog_->UpdateLog(code);
    }
    if (OnFaxLog) {
        OnFaxLog(*this, code);
    }
    AfterLog(code);
}

void TQpAbstractFax::HandleError(int code) {
    lastError_ = code;
    if (OnFaxError) {
        OnFaxError(*this, code);
    }
}

void TQpAbstractFax::HandleFinish(int code) {
    if (engine_) {
        lastProgress_ = engine_->Progress();
        engine_->Stop();
        engine_.reset();
    }
    if (OnFaxFinish) {
        OnFaxFinish(*this, code);
    }
}
