#include "faxcomm/FaxExceptions.h"

#include "faxcomm/ComPortExceptions.h"

void RaiseFaxError(int code) {
    if (code == -1009) {
        throw ECannotUseWithWinSock(code, "Cannot use this port with the Winsock device layer");
    }
    if (code <= -1000 && code > -6000) {
        RaisePortError(code);
    }
    throw EFaxSessionError(code);
}
