#pragma once

#include <optional>
#include <string>

// The program's string table: message and status texts keyed by their resource
// numbers. Error texts live at 11000 and up, fax status texts at 13000 + code.
namespace qp {

// The text stored under `resourceId`, or nothing when the table has no such entry.
std::optional<std::string> ResourceString(int resourceId);

} // namespace qp
