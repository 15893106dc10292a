#include "faxcomm/TQpSendFax.h"

#include "faxcomm/core/FaxSendEngine.h"
#include "faxcomm/core/PortConstants.h"

TQpSendFax::TQpSendFax(QObject* owner)
    : TQpAbstractFax(owner), dialWaitTicks_(qpcomm::SecondsToTicks(60)),
      dialRetryWaitTicks_(qpcomm::SecondsToTicks(60)) {
    SetAbortNoConnect(false);
    SetExitOnError(false);
    SetSoftwareFlow(false);
}

std::uint16_t TQpSendFax::DialWait() const {
    return static_cast<std::uint16_t>((dialWaitTicks_ * 92 + 1674) / 1675);
}

void TQpSendFax::SetDialWait(std::uint16_t seconds) {
    dialWaitTicks_ = qpcomm::SecondsToTicks(seconds);
}

std::uint16_t TQpSendFax::DialRetryWait() const {
    return static_cast<std::uint16_t>((dialRetryWaitTicks_ * 92 + 1674) / 1675);
}

void TQpSendFax::SetDialRetryWait(std::uint16_t seconds) {
    dialRetryWaitTicks_ = qpcomm::SecondsToTicks(seconds);
}

std::uint16_t TQpSendFax::DialAttempt() const {
    return static_cast<std::uint16_t>(Progress().dialAttempt);
}

void TQpSendFax::StartTransmit() {
    CheckPort();
    qpfax::FaxEngineOptions o = BaseOptions();
    o.blindDial = blindDial_;
    o.detectBusy = detectBusy_;
    o.toneDial = toneDial_;
    o.dialPrefix = dialPrefix_;
    o.dialWaitTicks = dialWaitTicks_;
    o.dialAttempts = dialAttempts_;
    o.dialRetryWaitTicks = dialRetryWaitTicks_;
    o.maxSendCount = maxSendCount_;
    o.bufferMinimum = bufferMinimum_;
    o.headerLine = headerLine_;
    o.headerSender = headerSender_;
    o.headerRecipient = headerRecipient_;
    o.headerTitle = headerTitle_;
    askedOnce_ = false;
    StartEngine(std::make_shared<qpfax::FaxSendEngine>(Client(), o));
}

bool TQpSendFax::AnswerNextFax(std::string& phone, std::string& faxFile, std::string& coverFile) {
    phone.clear();
    faxFile.clear();
    coverFile.clear();
    if (OnFaxNext) {
        OnFaxNext(*this, phone, faxFile, coverFile);
        SetPhoneNumber(phone);
        SetFaxFile(faxFile);
        SetCoverFile(coverFile);
    } else if (!askedOnce_) {
        phone = PhoneNumber();
        faxFile = FaxFile();
        coverFile = CoverFile();
    }
    askedOnce_ = true;
    phone = phone.substr(0, 40);
    return !phone.empty();
}
