#pragma once

#include <string>
#include <vector>

// "qpx apf print FILE -o OUT.pdf [--pages A-B] [--multipage] [--landscape]
// [--header TEXT] [--footer TEXT]": prints a fax file through the fax printer into a PDF
// file. An empty header or footer text leaves that line out. Returns 0, 1 on failure,
// 2 on bad usage.
int ApfPrint(const std::vector<std::string>& args);
