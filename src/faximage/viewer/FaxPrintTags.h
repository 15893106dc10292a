#pragma once

#include <QString>

// The values that header and footer tags stand for on one printed page.
struct FaxPrintTagValues {
    QString date;       // $D, in the system's short date format
    QString fileName;   // $F
    int totalPages = 0; // $N
    int pageNumber = 0; // $P
    QString time;       // $T, in the system's short time format
};

namespace FaxPrintTags {

// Replaces every tag in `text`. A tag runs from a "$" up to the next space or the end of
// the text; the letter after the "$" (either case) picks its value, any other letter
// gives nothing. Replacement repeats until no "$" remains, so values holding tags are
// expanded too. A value that keeps bringing tags back (a file name with "$F" in it) is
// expanded at most MaxExpansions times; tags left after that are removed.
QString Replace(QString text, const FaxPrintTagValues& values);

constexpr int MaxExpansions = 64;

// The values for page `page` of `total` in `fileName`, with the current date and time.
FaxPrintTagValues ValuesNow(const QString& fileName, int page, int total);

} // namespace FaxPrintTags
