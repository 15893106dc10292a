#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "faxcomm/TQpAbstractFax.h"

// Answers calls and writes every received document into an APF file of its own: rings
// counted to AnswerOnRing, the caller accepted or refused (OnFaxAccept), the file named by
// OnFaxName or automatically (FAX0001.APF ... in DestinationDir).
class TQpReceiveFax final : public TQpAbstractFax {
    Q_OBJECT

public:
    explicit TQpReceiveFax(QObject* owner = nullptr);

    std::uint16_t AnswerOnRing() const { return answerOnRing_; }
    void SetAnswerOnRing(std::uint16_t value) { answerOnRing_ = value; }
    bool FaxAndData() const { return faxAndData_; }
    void SetFaxAndData(bool value) { faxAndData_ = value; }
    bool OneFax() const { return oneFax_; }
    void SetOneFax(bool value) { oneFax_ = value; }
    bool ConstantStatus() const { return constantStatus_; }
    void SetConstantStatus(bool value) { constantStatus_ = value; }
    const std::string& DestinationDir() const { return destinationDir_; }
    void SetDestinationDir(const std::string& value) { destinationDir_ = value.substr(0, 255); }

    // Accept starts as true: a handler that leaves it alone takes the call.
    std::function<void(TQpReceiveFax&, bool& accept)> OnFaxAccept;
    std::function<void(TQpReceiveFax&, std::string& name)> OnFaxName;

    void StartReceive();
    bool IsSender() const override { return false; }

    // The first free name FAX0001.<ext> ... FAX9999.<ext> in `dir`, or "NONAME.APF".
    static std::string AutomaticName(const std::string& dir, const std::string& extension);

protected:
    std::string AnswerName() override;
    bool AnswerAccept(const std::string& remoteId) override;
    void AfterLog(int code) override;

private:
    std::uint16_t answerOnRing_ = 1;
    bool faxAndData_ = false;
    bool oneFax_ = false;
    bool constantStatus_ = false;
    std::string destinationDir_;
};
