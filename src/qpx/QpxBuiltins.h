#pragma once

#include <string>
#include <vector>

// Subcommands of qpx that need no subsystem: the version, the error-text lookup and the
// program's folders. Each prints its usage on standard output for "--help".
int QpxVersion(const std::vector<std::string>& args);
int QpxError(const std::vector<std::string>& args);
int QpxPaths(const std::vector<std::string>& args);
