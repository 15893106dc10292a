#include "faxcomm/FaxComponentClient.h"

#include <tuple>

#include <QCoreApplication>
#include <QThread>

#include "faxcomm/FaxMailbox.h"
#include "faxcomm/TQpAbstractFax.h"

FaxComponentClient::FaxComponentClient(TQpAbstractFax& fax, FaxMailbox& mailbox)
    : fax_(&fax), mailbox_(&mailbox) {}

bool FaxComponentClient::NextFax(std::string& phoneNumber, std::string& faxFile,
                                 std::string& coverFile) {
    using Answer = std::tuple<bool, std::string, std::string, std::string>;
    TQpAbstractFax* fax = fax_;
    const auto answer = mailbox_->Send<Answer>([fax] {
        Answer a{false, {}, {}, {}};
        std::get<0>(a) = fax->AnswerNextFax(std::get<1>(a), std::get<2>(a), std::get<3>(a));
        return a;
    });
    if (!answer || !std::get<0>(*answer)) {
        return false;
    }
    std::tie(std::ignore, phoneNumber, faxFile, coverFile) = *answer;
    return true;
}

std::string FaxComponentClient::NameFile() {
    TQpAbstractFax* fax = fax_;
    return mailbox_->Send<std::string>([fax] { return fax->AnswerName(); }).value_or("NONAME.APF");
}

bool FaxComponentClient::AcceptCall(const std::string& remoteId) {
    TQpAbstractFax* fax = fax_;
    return mailbox_->Send<bool>([fax, remoteId] { return fax->AnswerAccept(remoteId); })
        .value_or(true);
}

void FaxComponentClient::Status(bool first, bool last) {
    TQpAbstractFax* fax = fax_;
    mailbox_->Send<bool>([fax, first, last] {
        fax->HandleStatus(first, last);
        return true;
    });
}

void FaxComponentClient::Log(int code) {
    TQpAbstractFax* fax = fax_;
    mailbox_->Send<bool>([fax, code] {
        fax->HandleLog(code);
        return true;
    });
}

void FaxComponentClient::Error(int code) {
    TQpAbstractFax* fax = fax_;
    mailbox_->Send<bool>([fax, code] {
        fax->HandleError(code);
        return true;
    });
}

void FaxComponentClient::Finished(int code) {
    TQpAbstractFax* fax = fax_;
    mailbox_->Post([fax, code] { fax->HandleFinish(code); });
}

void FaxComponentClient::PumpMessages() {
    if (QThread::currentThread() == mailbox_->thread()) {
        QCoreApplication::processEvents();
    }
}
