#pragma once

#include <string>
#include <utility>

#include "PtyPair.h"
#include "faxcomm/core/ComDispatcher.h"

// Shortcuts of the dispatcher tests.
inline qpcomm::ComDispatcher& Dispatcher() {
    return qpcomm::ComDispatcher::Instance();
}

// Opens the port side of `pty` with default settings: the slot, or a negative result.
inline int OpenPty(const PtyPair& pty) {
    qpcomm::PortOpenRequest request;
    request.deviceName = pty.SlaveName();
    return Dispatcher().OpenPort(std::move(request));
}
