#pragma once

#include <string>

#include "common/EQPException.h"

// Exceptions the fax image components raise, one class per code, each carrying the code
// and its text. They live in a namespace of their own because the port components raise
// classes of the same names for their codes.
namespace qpfax {

class EFaxImageError : public EQPException {
public:
    using EQPException::EQPException;
};

#define QP_FAX_IMAGE_EXCEPTION(Name)                                                               \
    class Name : public EFaxImageError {                                                           \
    public:                                                                                        \
        using EFaxImageError::EFaxImageError;                                                      \
    };

QP_FAX_IMAGE_EXCEPTION(EFaxBadFormat)      // -8001
QP_FAX_IMAGE_EXCEPTION(EBadGraphicsFormat) // -8002
QP_FAX_IMAGE_EXCEPTION(EConvertAbort)      // -8003
QP_FAX_IMAGE_EXCEPTION(ECantMakeBitmap)    // -8005
QP_FAX_IMAGE_EXCEPTION(EBadArgument)       // -1002
QP_FAX_IMAGE_EXCEPTION(EGotQuitMsg)        // -1003
QP_FAX_IMAGE_EXCEPTION(EInOutError)        // file-system and I/O codes
QP_FAX_IMAGE_EXCEPTION(EFaxFontError)      // -8052, raised with the text "Zade exception"

#undef QP_FAX_IMAGE_EXCEPTION

// Throws the exception of a negative result code (std::bad_alloc for -8); does nothing
// for 0 or positive codes.
void RaiseFaxImageError(int code);

} // namespace qpfax
