#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "faxcomm/TQpAbstractFax.h"

// Sends one fax or a batch of faxes (OnFaxNext): dialing with busy redial, a header line
// on every page, an optional cover (APF, or a text file rendered with the fax font), then
// the pages of an APF file.
class TQpSendFax final : public TQpAbstractFax {
    Q_OBJECT

public:
    explicit TQpSendFax(QObject* owner = nullptr);

    bool BlindDial() const { return blindDial_; }
    void SetBlindDial(bool value) { blindDial_ = value; }
    bool DetectBusy() const { return detectBusy_; }
    void SetDetectBusy(bool value) { detectBusy_ = value; }
    bool ToneDial() const { return toneDial_; }
    void SetToneDial(bool value) { toneDial_ = value; }
    const std::string& DialPrefix() const { return dialPrefix_; }
    void SetDialPrefix(const std::string& value) { dialPrefix_ = value.substr(0, 40); }
    // Seconds; kept as 55 ms ticks.
    std::uint16_t DialWait() const;
    void SetDialWait(std::uint16_t seconds);
    std::uint16_t DialAttempts() const { return dialAttempts_; }
    void SetDialAttempts(std::uint16_t value) { dialAttempts_ = value; }
    std::uint16_t DialRetryWait() const;
    void SetDialRetryWait(std::uint16_t seconds);
    long DialRetryWaitTicks() const { return dialRetryWaitTicks_; }
    std::uint16_t MaxSendCount() const { return maxSendCount_; }
    void SetMaxSendCount(std::uint16_t value) { maxSendCount_ = value; }
    std::uint16_t BufferMinimum() const { return bufferMinimum_; }
    void SetBufferMinimum(std::uint16_t value) { bufferMinimum_ = value; }
    const std::string& HeaderLine() const { return headerLine_; }
    void SetHeaderLine(const std::string& value) { headerLine_ = value.substr(0, 255); }
    const std::string& HeaderSender() const { return headerSender_; }
    void SetHeaderSender(const std::string& value) { headerSender_ = value.substr(0, 255); }
    const std::string& HeaderRecipient() const { return headerRecipient_; }
    void SetHeaderRecipient(const std::string& value) { headerRecipient_ = value.substr(0, 255); }
    const std::string& HeaderTitle() const { return headerTitle_; }
    void SetHeaderTitle(const std::string& value) { headerTitle_ = value.substr(0, 255); }
    const std::string& CoverFile() const { return coverFile_; }
    void SetCoverFile(const std::string& value) { coverFile_ = value.substr(0, 255); }
    const std::string& PhoneNumber() const { return phoneNumber_; }
    void SetPhoneNumber(const std::string& value) { phoneNumber_ = value.substr(0, 255); }
    bool SafeMode() const { return safeMode_; }
    void SetSafeMode(bool value) { safeMode_ = value; }
    // Attempts made so far for the current fax + 1.
    std::uint16_t DialAttempt() const;

    std::function<void(TQpSendFax&, std::string& phoneNumber, std::string& faxFile,
                       std::string& coverFile)>
        OnFaxNext;

    // Starts the run: EPortNotAssigned, ECannotUseWithWinSock or EOutputBufferTooSmall
    // when the port does not do; a failed start raises OnFaxError and OnFaxFinish.
    void StartTransmit();
    bool IsSender() const override { return true; }

protected:
    bool AnswerNextFax(std::string& phone, std::string& faxFile, std::string& coverFile) override;

private:
    bool blindDial_ = false;
    bool detectBusy_ = true;
    bool toneDial_ = true;
    std::string dialPrefix_;
    long dialWaitTicks_;
    std::uint16_t dialAttempts_ = 3;
    long dialRetryWaitTicks_;
    std::uint16_t maxSendCount_ = 50;
    std::uint16_t bufferMinimum_ = 1000;
    std::string headerLine_;
    std::string headerSender_;
    std::string headerRecipient_;
    std::string headerTitle_;
    std::string coverFile_;
    std::string phoneNumber_;
    bool safeMode_ = true;
    bool askedOnce_ = false;
};
