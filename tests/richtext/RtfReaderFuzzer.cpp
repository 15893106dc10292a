// Feeds arbitrary bytes to the RTF reader and writes the result back.
#include "richtext/core/TRtfReader.h"
#include "richtext/core/TRtfWriter.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TRtfDocument document =
        TRtfReader::Read(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string written = TRtfWriter::Write(document);
    TRtfReader::Read(written);
    return 0;
}
