#include "faxcomm/TQpReceiveFax.h"

#include <cstdio>
#include <filesystem>

#include "faxcomm/core/FaxReceiveEngine.h"

TQpReceiveFax::TQpReceiveFax(QObject* owner) : TQpAbstractFax(owner) {
    SetFaxClass(qpfax::fcDetect);
    SetInitBaud(0);
    SetNormalBaud(0);
    SetAbortNoConnect(false);
    SetExitOnError(false);
    SetSoftwareFlow(false);
    SetFaxFileExt("APF");
}

std::string TQpReceiveFax::AutomaticName(const std::string& dir, const std::string& extension) {
    std::string prefix = dir;
    if (!prefix.empty() && prefix.back() != '/' && prefix.back() != '\\' && prefix.back() != ':') {
        prefix += '/';
    }
    for (int n = 1; n <= 9999; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "FAX%04d.", n);
        const std::string candidate = prefix + name + extension;
        std::error_code error;
        if (!std::filesystem::exists(candidate, error)) {
            return candidate;
        }
    }
    return "NONAME.APF";
}

void TQpReceiveFax::StartReceive() {
    CheckPort();
    qpfax::FaxEngineOptions o = BaseOptions();
    o.answerOnRing = answerOnRing_;
    o.faxAndData = faxAndData_;
    o.oneFax = oneFax_;
    o.constantStatus = constantStatus_;
    StartEngine(std::make_shared<qpfax::FaxReceiveEngine>(Client(), o));
}

std::string TQpReceiveFax::AnswerName() {
    if (OnFaxName) {
        std::string name = FaxFile();
        OnFaxName(*this, name);
        SetFaxFile(name);
        return name;
    }
    SetFaxFile(AutomaticName(destinationDir_, FaxFileExt()));
    return FaxFile();
}

bool TQpReceiveFax::AnswerAccept(const std::string&) {
    bool accept = true;
    if (OnFaxAccept) {
        OnFaxAccept(*this, accept);
    }
    return accept;
}

void TQpReceiveFax::AfterLog(int code) {
    if (code == qpfax::flReceiveFinished || code == qpfax::flReceiveSkipped ||
        code == qpfax::flReceiveFailed) {
        SetFaxFile({});
    }
}
