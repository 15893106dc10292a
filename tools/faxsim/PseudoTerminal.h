#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace faxsim {

// The modem's end of a serial line: a pseudo-terminal whose slave side the program under
// test opens through a symlink. The slave is put in raw mode and one slave descriptor is
// kept open, so the master does not report a hang-up while the program closes and reopens
// the port. There are no modem status lines; a program that drops DTR sets the speed to 0,
// which the master can see.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Creates the pseudo-terminal and the symlink `linkPath` to its slave. A stale symlink
    // at that path is replaced; any other file there is left alone and is an error. A lock
    // file beside the link ("PATH.lock", held while open) keeps a second simulator from
    // taking over a link that is in use.
    bool Open(const std::string& linkPath, std::string* error);
    // Removes the symlink (when it still points to this slave) and closes everything.
    void Close();

    // Non-blocking read from the master: bytes read, 0 when nothing waits, -1 on error.
    ssize_t Read(char* buffer, std::size_t size);
    // Non-blocking write to the master: bytes written (possibly fewer), -1 on error.
    ssize_t Write(const char* data, std::size_t size);
    // True when the program has set the line speed to 0 (dropped DTR).
    bool SpeedIsZero() const;

    const std::string& SlaveName() const { return slaveName_; }
    const std::string& LinkPath() const { return linkPath_; }
    int MasterFd() const { return master_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slaveName_;
    std::string linkPath_;
    int lock_ = -1;
    std::string lockPath_;
};

} // namespace faxsim
