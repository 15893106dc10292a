#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tables/CdxReader.h"
#include "tables/KeyList.h"

namespace qp::tables {

// Writes a whole compound index file (.CDX) from tags and their keys: the tag directory
// at offset 0, then per tag its 1024-byte header and a B-tree built bottom-up (compressed
// leaves packed full, interior nodes holding the last key of each child).
//
// The file is written beside the target and renamed over it, so a process killed while
// writing leaves the previous index in place.
class CdxWriter {
public:
    struct Tag {
        CdxTagHeader header; // name, key length, expressions, descending, unique
        const KeyList* keys = nullptr;
        char pad = ' ';
    };

    // Throws TableFault(tbeIo) when the file cannot be written.
    static void Write(const std::string& path, const std::vector<Tag>& tags);
    // Writes the file at `path` as it is (no rename), synced to disk.
    static void WriteInPlace(const std::string& path, const std::vector<Tag>& tags);
    // Sets or clears the mark that says the index may be behind its table: set before the
    // table takes a change the index does not have yet, cleared once it has it. It is the
    // update counter of the tag directory's header, which readers do not interpret.
    static void MarkStale(const std::string& path, bool stale);
    // The file's bytes (for tests and the fuzz seeds).
    static std::string Build(const std::vector<Tag>& tags);
};

} // namespace qp::tables
