// Fuzzes the APF reader and the unpacker: any file must decode or fail with a code.
#include <cstdint>

#include "FuzzInputFile.h"
#include "faximage/core/FaxUnpackerEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FuzzInputFile input(".apf");
    const std::string& name = input.Write(data, size);
    FaxUnpackerEngine engine;
    engine.SetWhitespaceCompression(4, 1);
    for (unsigned page = 1; page <= 3; ++page) {
        FaxRaster picture;
        engine.SetHalfWidth(page == 2);
        engine.SetScaling(page, 2, 1, page);
        if (engine.UnpackPageToRaster(name, page, page == 3, picture) != 0) {
            break;
        }
    }
    return 0;
}
