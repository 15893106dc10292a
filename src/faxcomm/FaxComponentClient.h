#pragma once

#include <QPointer>

#include "faxcomm/core/FaxClient.h"

class TQpAbstractFax;
class FaxMailbox;

// The engine's side of a fax component: each question and report goes through the
// component's mailbox to its thread (at most 1000 ms for questions and reports; the finish
// message is posted). A question the component does not answer in time gets "no".
class FaxComponentClient final : public qpfax::FaxClient {
public:
    FaxComponentClient(TQpAbstractFax& fax, FaxMailbox& mailbox);

    bool NextFax(std::string& phoneNumber, std::string& faxFile, std::string& coverFile) override;
    std::string NameFile() override;
    bool AcceptCall(const std::string& remoteId) override;
    void Status(bool first, bool last) override;
    void Log(int code) override;
    void Error(int code) override;
    void Finished(int code) override;
    void PumpMessages() override;

private:
    QPointer<TQpAbstractFax> fax_;
    QPointer<FaxMailbox> mailbox_;
};
