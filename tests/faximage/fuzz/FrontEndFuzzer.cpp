// Fuzzes one converter front end (chosen at build time) through a whole conversion: any
// input must convert or fail with a code, never crash or hang.
#include <cstdint>
#include <memory>

#include "FuzzInputFile.h"
#include "faximage/core/BmpFrontEnd.h"
#include "faximage/core/DcxFrontEnd.h"
#include "faximage/core/FaxConverterEngine.h"
#include "faximage/core/FaxFont.h"
#include "faximage/core/PcxFrontEnd.h"
#include "faximage/core/TextFrontEnd.h"
#include "faximage/core/TiffFrontEnd.h"

namespace {

std::unique_ptr<FaxFrontEnd> MakeFrontEnd() {
#if defined(QP_FUZZ_TEXT)
    auto text = std::make_unique<TextFrontEnd>();
    FaxFont font;
    font.Load(FaxFont::ffSmall, false);
    text->SetFont(font);
    text->SetLinesPerPage(5);
    return text;
#elif defined(QP_FUZZ_TIFF)
    return std::make_unique<TiffFrontEnd>();
#elif defined(QP_FUZZ_PCX)
    return std::make_unique<PcxFrontEnd>();
#elif defined(QP_FUZZ_DCX)
    return std::make_unique<DcxFrontEnd>();
#else
    return std::make_unique<BmpFrontEnd>();
#endif
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FuzzInputFile input(".in");
    const std::string& name = input.Write(data, size);
    FaxConverterEngine engine(MakeFrontEnd());
    engine.SetOptions(FaxConverterEngine::coDoubleWidth | FaxConverterEngine::coCenterImage |
                          (size % 2 ? FaxConverterEngine::coHalfHeight : 0),
                      0xFFFF);
    engine.SetTopMargin(static_cast<int>(size % 3));
    engine.SetWidth(size % 5 == 0 ? 2048 : 1728);
    engine.ConvertFile(name, input.Output());
    return 0;
}
