#include "faximage/FaxImageExceptions.h"

#include <new>

#include "faximage/core/FaxImageResult.h"

namespace qpfax {

void RaiseFaxImageError(int code) {
    switch (code) {
    case faxresult::NotApfFile:
        throw EFaxBadFormat(code);
    case faxresult::UnsupportedGraphics:
        throw EBadGraphicsFormat(code);
    case faxresult::ConvertAborted:
        throw EConvertAbort(code);
    case faxresult::CantMakeBitmap:
        throw ECantMakeBitmap(code);
    case faxresult::BadArgument:
        throw EBadArgument(code);
    case faxresult::GotQuitMessage:
        throw EGotQuitMsg(code);
    case faxresult::OutOfMemory:
        throw std::bad_alloc();
    case faxresult::FontNotFound:
        throw EFaxFontError(code, "Zade exception");
    default:
        if (code < 0) {
            throw EInOutError(code);
        }
    }
}

} // namespace qpfax
