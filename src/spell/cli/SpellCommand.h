#pragma once

#include <string>
#include <vector>

// qpx spell: check, suggest and add words, and build main word lists.
//   qpx spell check WORD...          [--main FILE] [--user FILE]
//   qpx spell suggest WORD           [--main FILE] [--user FILE] [--max N]
//   qpx spell add WORD...            [--main FILE] [--user FILE]
//   qpx spell build WORDLIST -o FILE
// Words are UTF-8. By default the lists are the data folder's "qpx.dct" and "qpxu.dct".
int QpxSpell(const std::vector<std::string>& args);
