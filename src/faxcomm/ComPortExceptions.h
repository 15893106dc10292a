#pragma once

#include "common/EQPException.h"

// The exceptions the serial port component raises, one class per result code, each
// carrying the code and its text.
#define QP_PORT_EXCEPTION(Name)                                                                    \
    class Name : public EQPException {                                                             \
    public:                                                                                        \
        using EQPException::EQPException;                                                          \
    };

QP_PORT_EXCEPTION(EBadHandle)             // -1001
QP_PORT_EXCEPTION(EBadArgument)           // -1002
QP_PORT_EXCEPTION(EGotQuitMsg)            // -1003
QP_PORT_EXCEPTION(EPortNotAssigned)       // -1005
QP_PORT_EXCEPTION(EInternal)              // -1006
QP_PORT_EXCEPTION(EBadId)                 // -2001
QP_PORT_EXCEPTION(EBaudRate)              // -2002
QP_PORT_EXCEPTION(EByteSize)              // -2003
QP_PORT_EXCEPTION(EDefault)               // -2004
QP_PORT_EXCEPTION(EHardware)              // -2005
QP_PORT_EXCEPTION(EMemory)                // -2006
QP_PORT_EXCEPTION(ECommNotOpen)           // -2007
QP_PORT_EXCEPTION(EAlreadyOpen)           // -2008
QP_PORT_EXCEPTION(ENoHandles)             // -2009
QP_PORT_EXCEPTION(ENoTimers)              // -2010
QP_PORT_EXCEPTION(ENoPortSelected)        // -2011
QP_PORT_EXCEPTION(ENullApi)               // -3001
QP_PORT_EXCEPTION(ENotSupported)          // -3002
QP_PORT_EXCEPTION(ERegisterHandlerFailed) // -3003
QP_PORT_EXCEPTION(EPutBlockFail)          // -3004
QP_PORT_EXCEPTION(EGetBlockFail)          // -3005
QP_PORT_EXCEPTION(EOutputBufferTooSmall)  // -3006
QP_PORT_EXCEPTION(EBufferIsEmpty)         // -3007
QP_PORT_EXCEPTION(ETracingNotEnabled)     // -3008
QP_PORT_EXCEPTION(ELoggingNotEnabled)     // -3009
QP_PORT_EXCEPTION(ENoMoreTriggers)        // -5001
QP_PORT_EXCEPTION(ETriggerTooLong)        // -5002
QP_PORT_EXCEPTION(EBadTriggerHandle)      // -5003

#undef QP_PORT_EXCEPTION

// Raises the exception of a negative port result code (EQPException itself for codes
// without a class of their own).
[[noreturn]] void RaisePortError(int code);

// Returns `result` unchanged when it is not negative; raises its exception otherwise.
int CheckPortResult(int result);
