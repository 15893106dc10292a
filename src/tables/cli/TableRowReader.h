#pragma once

#include <string>
#include <utility>
#include <vector>

namespace qp::tables {

// Rows to append, read from a JSON array of objects ({"FIELD": value, ...}) or a CSV file
// whose first line names the fields. Values become text as the engine's PutString takes
// it: numbers in decimal, true/false as "T"/"F", null as empty. The pseudo-field
// "_deleted" marks a row deleted.
class TableRowReader {
public:
    using Row = std::vector<std::pair<std::string, std::string>>;

    // Both throw std::runtime_error naming the file and the place of a syntax error.
    static std::vector<Row> FromJson(const std::string& path);
    static std::vector<Row> FromCsv(const std::string& path);
};

} // namespace qp::tables
