#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Helpers of the table fuzz targets: a private folder per process and file writing.
namespace tablefuzz {

// A folder of this process under the temporary folder, created on first use.
const std::string& Folder();
void Write(const std::string& path, const uint8_t* data, size_t size);
void Write(const std::string& path, const std::string& data);
// A fixed sent-style table with a memo field and records pointing at various memo
// blocks, written fresh at `path` (with an empty memo file beside it).
void WriteMemoTable(const std::string& path);
// Opens `path` with the engine and reads everything it can: every field of every record
// (at most a few thousand), every tag's order, and the consistency check.
void ExerciseTable(const std::string& path);

} // namespace tablefuzz
