#pragma once

#include <string>
#include <vector>

// "qpx fax": the fax engine from the command line.
//   qpx fax classes [--port N | --device PATH]
//       prints the fax classes the modem supports ("1", "2", "2.0"), one line each.
//   qpx fax send --device PATH --number N [--class 2|2.0|detect] FILE.apf [--cover FILE]
//       [--header TEXT] [--station ID]
//   qpx fax receive --device PATH --dir DIR [--class 2|2.0|detect] [--one] [--station ID]
// Send and receive print one status line per report and end with the result text; the
// exit status is 0 only when the session ended without error, 1 when it failed, 2 for a
// bad command line.
int QpxFax(const std::vector<std::string>& args);
