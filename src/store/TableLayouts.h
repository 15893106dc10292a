#pragma once

#include <string>
#include <vector>

// The four tables of the fax store: file names, fields in file order and the single
// index tag of each. Every tag lists only records without the deleted mark.
namespace store {

struct FieldLayout {
    const char* name;
    const char* type; // "C", "L", "D", "N" or "M"
    int width;
    int decimals;
};

struct TableLayout {
    const char* fileName;
    std::vector<FieldLayout> fields;
    const char* tag;
    const char* keyAtOpen;  // key used when the index is missing at open
    const char* keyRebuilt; // key used by Rebuild Indexes
    int option;             // tag option: 1 for the date tags, 0 for the name tags
};

inline constexpr const char* NotDeleted = ".not. deleted()";

const TableLayout& SentLayout();
const TableLayout& ReceivedLayout();
const TableLayout& CoverLayout();
const TableLayout& PhoneLayout();

// The page count as the PAGES fields (two digits) store it: a fax of more than 99 pages
// is recorded as 99 pages, so that the row is still written and every reader can read it.
int StoredPageCount(int pages);

// The index file beside a table: the table's file name without its last three
// characters, followed by "CDX" ("QPX.DBF" gives "QPX.CDX").
std::string IndexFileName(const std::string& tableFileName);

} // namespace store
