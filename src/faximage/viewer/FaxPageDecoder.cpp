#include "faximage/viewer/FaxPageDecoder.h"

#include "common/EQPException.h"

namespace FaxPageDecoder {

int ReadPageCount(const QString&, int& count) {
    count = 0;
    return -8001;
}

int ReadPageFlags(const QString&, int, unsigned& flags) {
    flags = 0;
    return -8001;
}

int DecodePicture(const QString&, int, const Options&, QImage& picture, unsigned& flags) {
    picture = QImage();
    flags = 0;
    return -8001;
}

void RaiseOnError(int code) {
    if (code >= 0) {
        return;
    }
    if (code == -8050 || code == -8051) {
        throw EQPException(code, "Zade exception");
    }
    throw EQPException(code);
}

int CheckedPageCount(const QString& fileName) {
    int count = 0;
    RaiseOnError(ReadPageCount(fileName, count));
    return count;
}

unsigned CheckedPageFlags(const QString& fileName, int page) {
    unsigned flags = 0;
    RaiseOnError(ReadPageFlags(fileName, page, flags));
    return flags;
}

QImage CheckedPicture(const QString& fileName, int page, const Options& options) {
    QImage picture;
    unsigned flags = 0;
    RaiseOnError(DecodePicture(fileName, page, options, picture, flags));
    return picture;
}

} // namespace FaxPageDecoder
