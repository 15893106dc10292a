#include "common/EQPException.h"

#include "common/ErrorText.h"

EQPException::EQPException(int code)
    : EQPException(code, qp::ErrorTextOr(code, "Error " + std::to_string(code))) {}

EQPException::EQPException(int code, const std::string& text)
    : std::runtime_error(text), code_(code) {}
