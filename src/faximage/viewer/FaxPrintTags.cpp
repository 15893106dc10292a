#include "faximage/viewer/FaxPrintTags.h"

#include <QDateTime>
#include <QLocale>

namespace FaxPrintTags {

namespace {

QString TagValue(QChar letter, const FaxPrintTagValues& values) {
    switch (letter.toUpper().unicode()) {
    case 'D':
        return values.date;
    case 'F':
        return values.fileName;
    case 'N':
        return QString::number(values.totalPages);
    case 'P':
        return QString::number(values.pageNumber);
    case 'T':
        return values.time;
    default:
        return {};
    }
}

// The tag starting at `dollar`: up to the next space or the end of the text.
qsizetype TagLength(const QString& text, qsizetype dollar) {
    const qsizetype space = text.indexOf(QLatin1Char(' '), dollar);
    return (space < 0 ? text.size() : space) - dollar;
}

} // namespace

QString Replace(QString text, const FaxPrintTagValues& values) {
    int expansions = 0;
    for (qsizetype dollar = text.indexOf(QLatin1Char('$')); dollar >= 0;
         dollar = text.indexOf(QLatin1Char('$'))) {
        const QChar letter = dollar + 1 < text.size() ? text.at(dollar + 1) : QChar();
        const QString value = expansions < MaxExpansions ? TagValue(letter, values) : QString();
        text.replace(dollar, TagLength(text, dollar), value);
        ++expansions;
    }
    return text;
}

FaxPrintTagValues ValuesNow(const QString& fileName, int page, int total) {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    return {locale.toString(now.date(), QLocale::ShortFormat), fileName, total, page,
            locale.toString(now.time(), QLocale::ShortFormat)};
}

} // namespace FaxPrintTags
