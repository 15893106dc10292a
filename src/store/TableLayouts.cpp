#include "store/TableLayouts.h"

namespace store {

const TableLayout& SentLayout() {
    static const TableLayout layout{"QPX.DBF",
                                    {{"SUBJECT", "C", 50, 0},
                                     {"SENT", "L", 1, 0},
                                     {"DATESENT", "D", 8, 0},
                                     {"TIMESENT", "C", 5, 0},
                                     {"RECIPIENT", "C", 35, 0},
                                     {"PHONE", "C", 25, 0},
                                     {"PAGES", "N", 2, 0},
                                     {"LASTRESULT", "C", 100, 0},
                                     {"RTFCOVER", "M", 10, 0},
                                     {"RTFDOC", "M", 10, 0}},
                                    "DATESENT",
                                    "DTOS(DATESENT)+TIMESENT",
                                    "datesent",
                                    1};
    return layout;
}

const TableLayout& ReceivedLayout() {
    static const TableLayout layout{"QPXREC.DBF",
                                    {{"DATEREC", "D", 8, 0},
                                     {"TIMEREC", "C", 5, 0},
                                     {"FROM", "C", 20, 0},
                                     {"PAGES", "N", 2, 0},
                                     {"FAXFILE", "C", 12, 0},
                                     {"NOTES", "C", 60, 0}},
                                    "DATETIME",
                                    "DTOS(DATEREC)+TIMEREC",
                                    "DTOS(DATEREC)+TIMEREC",
                                    1};
    return layout;
}

const TableLayout& CoverLayout() {
    static const TableLayout layout{"QPXCOV.DBF", {{"DESCRIPT", "C", 35, 0}, {"COVER", "M", 10, 0}},
                                    "DESCRIPT",   "DESCRIPT",
                                    "DESCRIPT",   0};
    return layout;
}

const TableLayout& PhoneLayout() {
    static const TableLayout layout{
        "QPXPB.DBF", {{"NAME", "C", 35, 0}, {"PHONE", "C", 25, 0}}, "NAME", "NAME", "NAME", 0};
    return layout;
}

std::string IndexFileName(const std::string& tableFileName) {
    if (tableFileName.size() < 3) {
        return tableFileName + "CDX";
    }
    return tableFileName.substr(0, tableFileName.size() - 3) + "CDX";
}

int StoredPageCount(int pages) {
    constexpr int MostPages = 99;
    return pages < 0 ? 0 : pages > MostPages ? MostPages : pages;
}

} // namespace store
