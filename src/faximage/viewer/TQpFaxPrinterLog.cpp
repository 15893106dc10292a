#include "faximage/viewer/TQpFaxPrinterLog.h"

#include "common/DataFolder.h"
#include "common/EQPException.h"

#include <cerrno>
#include <cstdio>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>

TQpFaxPrinterLog::TQpFaxPrinterLog(QObject* owner) : QObject(owner) {}

QString TQpFaxPrinterLog::LogLine(TFaxPLCode code, const QString& fileName, const QString& when) {
    static const char* const verbs[] = {"started", "finished", "aborted", "failed"};
    return QStringLiteral("Printing %1 %2 at %3").arg(fileName, QLatin1String(verbs[code]), when);
}

void TQpFaxPrinterLog::UpdateLog(TFaxPLCode code, const QString& fileName) {
    if (logFileName_.isEmpty()) {
        return;
    }
    const QString path = QDir(QString::fromStdString(DataFolder())).absoluteFilePath(logFileName_);
    const QString when =
        QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
    QString text = LogLine(code, fileName, when) + QLatin1Char('\n');
    if (code != lcStart) {
        text += QLatin1Char('\n');
    }
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "a");
    if (!file) {
        throw EQPException(-errno);
    }
    const QByteArray bytes = text.toLocal8Bit();
    const bool written = std::fwrite(bytes.constData(), 1, bytes.size(), file) ==
                         static_cast<std::size_t>(bytes.size());
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        throw EQPException(-(written ? errno : writeError));
    }
}
