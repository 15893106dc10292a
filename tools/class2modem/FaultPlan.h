#pragma once

#include <optional>
#include <string>
#include <vector>

// The faults a test asks the emulated modem to show, and how many times each is left.
// Faults are given as (several at once, also comma-separated in one argument):
//   busy[:N] nodial[:N] voice[:N] nocarrier[:N] noanswer[:N]
//                           the first N dials (default: every dial) get BUSY /
//                           NO DIALTONE / VOICE / NO CARRIER / NO ANSWER instead of a fax
//   rtn[:N]                 the first N pages (default: every page) are rejected (RTN)
//   pagestatus:S[:P]        page P (default 1) gets page status S (1..5) once
//   hangup:C[:WHERE]        the call ends with hang-up code C (decimal, as Class 2 reports
//                           it) at WHERE: "connect", "page:N" (when page N is to start)
//                           or "post:N" (after page N's data; the default is post:1)
//   cut[:P]                 the call is lost halfway through page P (default 1)
//   can[:P]                 the modem cancels page P (default 1) halfway with CAN
//   silent[:TEXT[:N]]       no answer at all to command lines containing TEXT (any case;
//                           default: every line), the first N times (default: always)
//   noxon                   Class 2: no XON after CONNECT of AT+FDT
//   lower                   result codes and reports in lower case
//   extra-ok                an extra OK straight after each DLE ETX of received pages
class FaultPlan {
public:
    enum class DialFault { None, Busy, NoDialTone, Voice, NoCarrier, NoAnswer };
    enum class Where { Connect, PageStart, PostPage };

    // Adds one or more comma-separated faults; false with `error` set when one
    // is not understood (nothing of that argument is added then).
    bool Add(const std::string& faults, std::string& error);

    // What the next dial meets; uses one count of that fault.
    DialFault TakeDialFault();
    // Whether the transfer of a page is rejected (uses one count).
    bool TakeRejection();
    // The page status forced on page `page` (used once).
    std::optional<int> TakePageStatus(int page);
    // The hang-up code to end the call with at this point (used once).
    std::optional<int> TakeHangup(Where where, int page);
    bool TakeCut(int page);
    bool TakeCancel(int page);
    // Whether this command line goes unanswered (uses one count).
    bool TakeSilence(const std::string& commandLine);

    bool NoXon() const { return noXon_; }
    bool LowerCase() const { return lowerCase_; }
    bool ExtraOk() const { return extraOk_; }

private:
    struct Counted {
        int remaining = 0; // -1: always
        bool Take();
    };
    struct PageFault {
        int page = 1;
        int value = 0;
        Where where = Where::PostPage;
        bool used = false;
    };
    struct Silence {
        std::string text; // upper case; empty matches every line
        Counted count;
    };

    bool AddOne(const std::string& fault, std::string& error);

    Counted busy_, noDialTone_, voice_, noCarrier_, noAnswer_, rejection_;
    std::vector<PageFault> pageStatus_, hangups_, cuts_, cancels_;
    std::vector<Silence> silences_;
    bool noXon_ = false;
    bool lowerCase_ = false;
    bool extraOk_ = false;
};
