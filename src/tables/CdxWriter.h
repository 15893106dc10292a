#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tables/CdxReader.h"
#include "tables/KeyList.h"

namespace qp::tables {

// Writes compound index files (.CDX): whole files from tags and their sorted keys (the tag
// directory at offset 0, then per tag its 1024-byte header and a B-tree built bottom-up:
// compressed leaves packed full, interior nodes holding the last key of each child), and
// the building blocks the live index uses to write its own trees page by page.
class CdxWriter {
public:
    struct Tag {
        CdxTagHeader header; // name, key length, expressions, descending, unique
        const KeyList* keys = nullptr;
        char pad = ' ';
    };

    // Writes the file beside `path` and renames it over it, so a process killed while
    // writing leaves the previous index in place. Throws TableFault(tbeIo).
    static void Write(const std::string& path, const std::vector<Tag>& tags);
    // Writes the file at `path` as it is (no rename), synced to disk.
    static void WriteInPlace(const std::string& path, const std::vector<Tag>& tags);
    // The file's bytes.
    static std::string Build(const std::vector<Tag>& tags);
    // Sets or clears the mark that says the index may be behind its table: set before the
    // table takes a change the index does not have yet, cleared once it has it. It is the
    // update counter of the tag directory's header, which readers do not interpret.
    static void MarkStale(const std::string& path, bool stale);

    // ---- Building blocks ------------------------------------------------------------
    using Allocate = std::function<uint32_t()>; // the offset of a free page
    using WritePage = std::function<void(uint32_t offset, const unsigned char* page)>;
    // Gives the next (key, record number) in ascending order; false when there is none.
    using NextEntry = std::function<bool(std::string& key, uint32_t& recno)>;
    // A node one level down, as its parent describes it.
    struct Child {
        std::string lastKey;
        uint32_t lastRecno = 0;
        uint32_t page = 0;
    };

    // Packs the entries into leaves and builds the interior levels above them; returns
    // the root's offset (a root leaf when everything fits one leaf).
    static uint32_t WriteTree(const NextEntry& next, int keyLength, char pad,
                              const Allocate& allocate, const WritePage& write);
    // Builds the interior levels above `children` (two or more, in key order): each level's
    // pages are allocated before they are written, so siblings can point at each other.
    // Returns the root's offset; every page written is also added to `pages`.
    static uint32_t WriteInterior(std::vector<Child> children, int keyLength,
                                  const Allocate& allocate, const WritePage& write,
                                  std::vector<uint32_t>* pages = nullptr);
    // Gives the next child in key order; false when there is none.
    using NextChild = std::function<bool(Child& child)>;
    // WriteInterior for `count` children (two or more) given one at a time, so that only
    // the levels above them are held in memory. Throws TableFault (tbeCorrupt) when
    // `next` runs out early.
    static uint32_t WriteInterior(size_t count, const NextChild& next, int keyLength,
                                  const Allocate& allocate, const WritePage& write,
                                  std::vector<uint32_t>* pages = nullptr);
    // The 1024-byte header of a tag (or, with empty expressions, of the directory).
    static std::string Header(uint32_t root, int keyLength, int options, bool descending,
                              const std::string& keyExpr, const std::string& forExpr);
    // The options byte of a tag's header.
    static int TagOptions(const CdxTagHeader& tag);
};

} // namespace qp::tables
