#pragma once

#include <string>
#include <vector>

namespace faxsim {

// Joins the pages of several bilevel TIFF files into one multi-page file (the far end's
// T.30 terminal sends one file per call). Returns false with `error` set when an input
// cannot be read or is not a bilevel image.
bool JoinTiffPages(const std::vector<std::string>& inputs, const std::string& output,
                   std::string* error);

// The number of pages of a TIFF file, or -1 when it cannot be read.
int CountTiffPages(const std::string& path);

} // namespace faxsim
