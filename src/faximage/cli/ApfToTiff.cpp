// qpx apf totiff FILE -o OUT.TIF: the fax as a TIFF class F file (one-dimensional T.4,
// one image per page), written by libtiff into memory and saved in one piece.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <vector>

#include <tiffio.h>

#include "common/ErrorText.h"
#include "faximage/cli/ApfCommand.h"
#include "faximage/cli/CommandArgs.h"
#include "faximage/cli/TiffMemoryFile.h"
#include "faximage/core/ApfReader.h"
#include "faximage/core/FaxUnpackerEngine.h"

namespace {

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

int Fail(int code) {
    std::cerr << "qpx apf totiff: " << qp::ErrorTextOr(code, "error " + std::to_string(code))
              << " (" << code << ")\n";
    return 1;
}

void SetPageTags(TIFF* tiff, const ApfPageHeader& header, std::uint32_t rows, unsigned page,
                 unsigned pages) {
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(header.LineWidth()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, rows);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_FILLBITS);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rows);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 204.0f);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, header.IsFine() ? 196.0f : 98.0f);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff, TIFFTAG_PAGENUMBER, static_cast<std::uint16_t>(page - 1),
                 static_cast<std::uint16_t>(pages));
    TIFFSetField(tiff, TIFFTAG_CLEANFAXDATA, CLEANFAXDATA_CLEAN);
    TIFFSetField(tiff, TIFFTAG_SOFTWARE, "Quillpost");
}

// Decodes every page and adds it to the TIFF file: 0, or 1 after reporting the failure.
int WritePages(TIFF* output, const std::string& outName, const std::string& fileName,
               ApfReader& reader, unsigned pages) {
    FaxUnpackerEngine engine;
    engine.SetFlags(0);
    engine.SetAspectCorrection(false);
    std::vector<std::uint8_t> rows;
    unsigned rowBytes = 216;
    engine.SetOutputLine(
        [&](FaxUnpackerEngine::LineKind kind, const std::uint8_t* data, unsigned length, unsigned) {
            if (kind == FaxUnpackerEngine::LineKind::Line) {
                const std::size_t at = rows.size();
                rows.resize(at + rowBytes, 0);
                std::copy(data, data + std::min(length, rowBytes),
                          rows.begin() + static_cast<long>(at));
            }
            return 0;
        });
    for (unsigned page = 1; page <= pages; ++page) {
        ApfPageHeader header;
        int result = reader.FindPage(page, header);
        if (result == 0) {
            rowBytes = static_cast<unsigned>(header.LineWidth() / 8);
            rows.clear();
            result = engine.UnpackPage(fileName, page);
        }
        if (result != 0) {
            return Fail(result);
        }
        if (rows.empty()) {
            rows.resize(rowBytes, 0); // an empty page still needs one row
        }
        const std::uint32_t count = static_cast<std::uint32_t>(rows.size() / rowBytes);
        SetPageTags(output, header, count, page, pages);
        bool written = true;
        for (std::uint32_t row = 0; row < count && written; ++row) {
            written =
                TIFFWriteScanline(output, rows.data() + static_cast<std::size_t>(row) * rowBytes,
                                  row, 0) >= 0;
        }
        if (!written || !TIFFWriteDirectory(output)) {
            std::cerr << "qpx apf totiff: cannot write " << outName << "\n";
            return 1;
        }
    }
    return 0;
}

} // namespace

int ApfToTiff(const std::vector<std::string>& args) {
    CommandArgs options(args, {});
    const auto out = options.Value("-o");
    if (!options.Ok() || options.Positional().size() != 1 || !out) {
        std::cerr << "usage: qpx apf " << ApfSubcommands()[3].usage << "\n";
        return 2;
    }
    const std::string& fileName = options.Positional()[0];
    ApfReader reader;
    int result = reader.Open(fileName);
    if (result != 0) {
        return Fail(result);
    }
    const unsigned pages = reader.Header().pageCount;
    if (pages == 0) {
        return Fail(-8001);
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(out->c_str(), "wb"));
    TiffMemoryFile memory;
    std::unique_ptr<TIFF, TiffCloser> output(file ? memory.OpenForWriting(*out) : nullptr);
    if (!output) {
        if (file) {
            file.reset();
            std::remove(out->c_str());
        }
        std::cerr << "qpx apf totiff: cannot create " << *out << "\n";
        return 1;
    }
    const int written = WritePages(output.get(), *out, fileName, reader, pages);
    output.reset();
    const bool saved = written == 0 && memory.SaveTo(file.get());
    if (std::fclose(file.release()) != 0 || !saved) {
        std::remove(out->c_str());
        if (written == 0) {
            std::cerr << "qpx apf totiff: cannot write " << *out << "\n";
        }
        return 1;
    }
    std::cout << pages << " page(s) written to " << *out << "\n";
    return 0;
}
