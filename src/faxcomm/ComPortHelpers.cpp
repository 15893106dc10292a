#include "faxcomm/ComPortHelpers.h"

#include "common/EQPException.h"
#include "common/ErrorText.h"
#include "faxcomm/TQpComPort.h"
#include "faxcomm/core/PortConstants.h"
#include "faxcomm/core/PortDeviceName.h"

namespace {

QString UnableToOpen(int number) {
    return QStringLiteral("Unable to open the specified communications port ( Com%1 )").arg(number);
}

QString PortErrorMessage(int code, int number) {
    if (code == qpcomm::prAlreadyOpen || code == qpcomm::prHardware) {
        return QStringLiteral("The communications port is in use ( Com %1 )").arg(number) +
               "\r\rPlease make sure that all communication programs (internet, AOL, etc) are "
               "closed, and then try again.";
    }
    if (code == qpcomm::prBadId) {
        return UnableToOpen(number);
    }
    const auto text = qp::ErrorText(code);
    QString message = UnableToOpen(number) + "\rError message: " +
                      (text ? QString::fromStdString(*text) : QStringLiteral("Unknown error"));
    if (code == qpcomm::prAccessDenied) {
        message += "\r\r" + QString::fromLatin1(qpcomm::DialoutAdvice);
    }
    return message;
}

} // namespace

QString OpenFailureMessage(int code, int number) {
    return PortErrorMessage(code, number);
}

bool OpenComPort(TQpComPort& port, QString& message) {
    message.clear();
    const int number = port.ComNumber();
    try {
        port.SetOpen(true);
        return true;
    } catch (const EQPException& error) {
        message = PortErrorMessage(error.ErrorCode(), number);
    } catch (const std::exception& error) {
        message = QStringLiteral("Unable to open the specified communications port( Com%1 )")
                      .arg(number) +
                  "\rError message: " + QString::fromUtf8(error.what());
    }
    return false;
}

bool ResetModem(TQpComPort& port) {
    try {
        port.OutputString("AT&F\r");
        return port.WaitForString("OK", 36, true, false);
    } catch (const std::exception&) {
        return false;
    }
}
