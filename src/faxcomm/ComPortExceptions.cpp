#include "faxcomm/ComPortExceptions.h"

#include "faxcomm/core/PortConstants.h"

using namespace qpcomm;

void RaisePortError(int code) {
    switch (code) {
    case prBadHandle:
        throw EBadHandle(code);
    case prBadArgument:
        throw EBadArgument(code);
    case prGotQuitMsg:
        throw EGotQuitMsg(code);
    case prPortNotAssigned:
        throw EPortNotAssigned(code);
    case prInternal:
        throw EInternal(code);
    case prBadId:
        throw EBadId(code);
    case prBaudRate:
        throw EBaudRate(code);
    case prByteSize:
        throw EByteSize(code);
    case prDefault:
        throw EDefault(code);
    case prHardware:
        throw EHardware(code);
    case prMemory:
        throw EMemory(code);
    case prCommNotOpen:
        throw ECommNotOpen(code);
    case prAlreadyOpen:
        throw EAlreadyOpen(code);
    case prNoHandles:
        throw ENoHandles(code);
    case prNoTimers:
        throw ENoTimers(code);
    case prNoPortSelected:
        throw ENoPortSelected(code);
    case prNullApi:
        throw ENullApi(code);
    case prNotSupported:
        throw ENotSupported(code);
    case prRegisterHandlerFailed:
        throw ERegisterHandlerFailed(code);
    case prPutBlockFail:
        throw EPutBlockFail(code);
    case prGetBlockFail:
        throw EGetBlockFail(code);
    case prOutputBufferTooSmall:
        throw EOutputBufferTooSmall(code);
    case prBufferIsEmpty:
        throw EBufferIsEmpty(code);
    case prTracingNotEnabled:
        throw ETracingNotEnabled(code);
    case prLoggingNotEnabled:
        throw ELoggingNotEnabled(code);
    case prNoMoreTriggers:
        throw ENoMoreTriggers(code);
    case prTriggerTooLong:
        throw ETriggerTooLong(code);
    case prBadTriggerHandle:
        throw EBadTriggerHandle(code);
    default:
        throw EQPException(code);
    }
}

int CheckPortResult(int result) {
    if (result < 0) {
        RaisePortError(result);
    }
    return result;
}
