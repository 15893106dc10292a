#pragma once

#include <string>

#include "faxcomm/core/FaxEngine.h"

namespace qpfax {

// The states of one fax class inside a send or receive state machine. The driver runs the
// states every class shares and hands the others to the handler of the class in use
// (Class 2 and 2.0 in Class2SendStates / Class2ReceiveStates; Class 1 states belong in
// handlers of their own beside them). Runs on the port's dispatcher thread.
class FaxStateHandler {
public:
    virtual ~FaxStateHandler() = default;
    virtual FaxWait WaitOf(int state) const = 0;
    virtual void Run(int state, const FaxEvent& event) = 0;
    // Tests a complete line for answers no state expects (before the state sees it);
    // true when the handler started error handling.
    virtual bool UnexpectedAnswer(int state, const std::string& line) = 0;
};

} // namespace qpfax
