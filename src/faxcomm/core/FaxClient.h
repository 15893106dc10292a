#pragma once

#include <string>

namespace qpfax {

// What the fax engine asks of the component that runs it. The engine calls these on the
// port's dispatcher thread (and, while a session starts, on the thread that starts it).
// A component with a user interface answers on its own thread within 1000 ms; Finished
// is only posted and must not wait.
class FaxClient {
public:
    virtual ~FaxClient() = default;

    // Send side: the next fax of the run. False (or an empty phone number) ends the run.
    virtual bool NextFax(std::string& phoneNumber, std::string& faxFile,
                         std::string& coverFile) = 0;
    // Receive side: the file name for the fax now arriving.
    virtual std::string NameFile() = 0;
    // Receive side: whether to take the call of this station.
    virtual bool AcceptCall(const std::string& remoteId) = 0;
    // Progress: the session's values changed (First on the first report, Last on the
    // final one).
    virtual void Status(bool first, bool last) = 0;
    // A history log entry (FaxLogCode).
    virtual void Log(int code) = 0;
    // An error was reported; the session goes on to its error handling.
    virtual void Error(int code) = 0;
    // The session has ended with this result (0 or the last error). Posted.
    virtual void Finished(int code) = 0;
    // Lets the calling thread's pending work run during a synchronous modem command.
    virtual void PumpMessages() {}
};

} // namespace qpfax
