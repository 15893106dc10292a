#pragma once

#include <stdexcept>
#include <string>

#include "tables/TableErrors.h"

namespace qp::tables {

// A failure inside the engine: a TableError code and a message naming the file. Thrown by
// the file classes and turned into a result code at the TableEngine boundary.
class TableFault : public std::runtime_error {
public:
    TableFault(TableError code, const std::string& text) : std::runtime_error(text), code_(code) {}
    TableError Code() const noexcept { return code_; }

private:
    TableError code_;
};

} // namespace qp::tables
