#pragma once

#include "common/EQPException.h"

// Exceptions of the fax components beyond those of the port (ComPortExceptions.h).
class ECannotUseWithWinSock : public EQPException {
public:
    using EQPException::EQPException;
};
class EFaxSessionError : public EQPException {
public:
    using EQPException::EQPException;
};

// Raises the exception of a negative fax component result.
[[noreturn]] void RaiseFaxError(int code);
