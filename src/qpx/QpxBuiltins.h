#pragma once

#include <string>
#include <vector>

// Subcommands of qpx that need no subsystem: the version and the error-text lookup.
int QpxVersion(const std::vector<std::string>& args);
int QpxError(const std::vector<std::string>& args);
