#pragma once

#include <string>
#include <vector>

#include "AtCommandLine.h"
#include "FaxParameters.h"

// The +F settings of the emulated modem: the selected class, the computer's session
// parameters and receive capabilities, the local ID, receive enable, flow control, report
// switches and the rest, each under its Class 2 or Class 2.0 name. A command of the other
// class's set (AT+FLID in Class 2.0, AT+FNR in Class 2) is an ERROR, as on real modems.
class FaxSettings {
public:
    enum class Outcome { Ok, Error, NotParameter };

    explicit FaxSettings(std::string supportedClasses);

    // Runs a parameter command (set, read, test); information lines go to `info`.
    // NotParameter for commands that are not settings (AT+FDT, AT+FET=, ...).
    Outcome Execute(const AtCommand& command, std::vector<std::string>& info);
    // Power-on values (ATZ, AT&F).
    void Reset();

    bool Class2() const { return fclass_ == "2"; }
    bool Class20() const { return fclass_ == "2.0"; }
    bool FaxClass() const { return Class2() || Class20(); }
    const std::string& SelectedClass() const { return fclass_; }

    const FaxParameters& SessionParameters() const { return dis_; } // +FDIS / +FIS
    const FaxParameters& Capabilities() const { return dcc_; }      // +FDCC / +FCC
    void SetNegotiated(const FaxParameters& dcs) { dcs_ = dcs; }
    const std::string& LocalId() const { return localId_; }
    bool ReceiveEnabled() const { return receive_ != 0; }
    // Bit order switch (+FBOR / +FBO): bit 0 reverses page data.
    bool ReversePageData() const { return (bitOrder_ & 1) != 0; }
    // Class 2.0 +FLO=1: XON/XOFF characters instead of hardware flow.
    bool SoftwareFlow() const { return Class20() && flow_ == 1; }
    // Class 2.0 report switches (+FNR); Class 2 always reports.
    bool ReportReceiverParameters() const { return !Class20() || reports_[0] != 0; }
    bool ReportTransmitterParameters() const { return !Class20() || reports_[1] != 0; }
    bool ReportIds() const { return !Class20() || reports_[2] != 0; }
    // The page status (+FPTS / +FPS): the modem sets it after each page, the computer may
    // change it before the next AT+FDR to decide what the far end is told.
    int PageStatus() const { return pageStatus_; }
    void SetPageStatus(int status) { pageStatus_ = status; }
    void SetHangupCode(int code) { hangupCode_ = code; }

    // A hang-up code as this class writes it: "52" in Class 2, "52" / "A0" in Class 2.0.
    std::string FormatHangup(int code) const;

private:
    Outcome SetClass(const AtCommand& command, std::vector<std::string>& info);
    bool SetString(const std::string& argument, std::string& target) const;
    bool SetNumber(const std::string& argument, int highest, int& target) const;
    std::string Number(int value) const;

    std::string supportedClasses_;
    std::string fclass_ = "0";
    FaxParameters dis_;
    FaxParameters dcc_;
    FaxParameters dcs_;
    std::string localId_;
    std::string pollingId_;
    int receive_ = 0;
    int adaptiveAnswer_ = 0;
    int bitOrder_ = 0;
    int pageStatus_ = 1;
    int flow_ = 1;
    int reports_[4] = {0, 0, 0, 0};
    int errorReports_ = 0;
    int phaseCTimeout_ = 30;
    int copyQuality_ = 0;
    int hangupCode_ = 0;
};
