#include "faxcomm/core/FaxHistory.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "common/ErrorText.h"
#include "faxcomm/core/FaxCodes.h"

namespace qpfax {

std::string FaxHistoryText(const FaxHistoryEntry& e, const std::string& time) {
    const std::string crlf = "\r\n";
    const std::string hangup = std::to_string(e.hangupCode);
    const std::string errorText =
        qp::ErrorTextOr(e.errorCode, "Error " + std::to_string(e.errorCode));
    switch (e.code) {
    case flTransmitStarted:
        return "Transmit " + e.faxFile + " to " + e.phoneNumber + " started at " + time;
    case flTransmitFinished:
        return "Transmit to " + e.remoteId + " finished OK at " + time + " " + hangup + crlf;
    case flTransmitFailed:
        return "Transmit failed at " + time + crlf + "  (" + errorText + ") " + hangup + crlf;
    case flReceiveStarted:
        return "Receive " + e.faxFile + " from " + e.remoteId + " started at " + time;
    case flReceiveFinished:
        return "Receive finished OK at " + time + crlf;
    case flReceiveSkipped:
        return "Receive skipped at " + time + crlf;
    case flReceiveFailed:
        return "Receive failed at " + time + crlf + "  (" + errorText + ")" + crlf;
    default:
        return {};
    }
}

std::string FaxHistoryTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[64];
    const std::size_t n = std::strftime(buffer, sizeof buffer, "%x %X", &local);
    return std::string(buffer, n);
}

int AppendFaxHistory(const std::string& path, const FaxHistoryEntry& entry) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) {
        return -errno;
    }
    const std::string text = FaxHistoryText(entry, FaxHistoryTimeNow()) + "\r\n";
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed ? 0 : -101;
}

} // namespace qpfax
