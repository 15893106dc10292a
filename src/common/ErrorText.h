#pragma once

#include <optional>
#include <string>

// Texts of error and fax status codes.
//
// An error code c maps to string resource 11800 + |c| for |c| in 100..199, to |c| itself
// for |c| in 13801..13900, and to 11000 + (|c| mod 1000) + 100 * (|c| div 1000) otherwise.
// Texts are shown with at most 79 characters.
namespace qp {

constexpr std::size_t MaxErrorTextLength = 79;

int ErrorResourceId(int code);

// The text of an error code, or nothing when the code has none (callers then word the
// failure themselves).
std::optional<std::string> ErrorText(int code);

// The text of an error code, or `fallback` when it has none.
std::string ErrorTextOr(int code, const std::string& fallback);

// The text of a fax status code (resource 13000 + code), or nothing.
std::optional<std::string> StatusText(int status);

} // namespace qp
