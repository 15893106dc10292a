#pragma once

#include <stdexcept>
#include <string>

// Base of the exceptions raised by the port, fax and fax image components: a numeric
// error code and its text. Components derive one class per code range from it.
class EQPException : public std::runtime_error {
public:
    // Text from the string table, or "Error <code>" when the code has none.
    explicit EQPException(int code);
    EQPException(int code, const std::string& text);

    int ErrorCode() const noexcept { return code_; }

private:
    int code_;
};
