#pragma once

#include "common/EQPException.h"

#include <string>

// A failure of the table engine reached through an adapter: the engine's negative result
// code and its message, which names the file concerned.
class ETableError : public EQPException {
public:
    ETableError(int code, const std::string& text) : EQPException(code, text) {}
};
