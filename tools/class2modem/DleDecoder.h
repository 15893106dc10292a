#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Takes the page data a computer sends after CONNECT apart: DLE DLE (and DLE SUB, two
// DLEs) is data, DLE ETX ends the data, DLE CAN cancels, and in Class 2.0 DLE ",", ";"
// and "." end a page followed by more pages, a new document or the end. DLE followed by
// anything else is dropped. Keeps its state between chunks (a DLE may end one chunk).
class DleDecoder {
public:
    enum class Marker { None, Etx, MorePages, NewDocument, LastPage, Cancel };

    explicit DleDecoder(bool class20 = false) : class20_(class20) {}

    // Decodes from `input` until `dataLimit` data bytes were added to `out` or a marker
    // ends the data; returns the input bytes used. `marker` tells what ended the data.
    std::size_t Decode(const std::uint8_t* input, std::size_t size, std::size_t dataLimit,
                       std::vector<std::uint8_t>& out, Marker& marker);
    void Reset() { dlePending_ = false; }

private:
    bool class20_;
    bool dlePending_ = false;
};
