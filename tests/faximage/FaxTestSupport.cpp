#include "FaxTestSupport.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "faximage/core/BitmapFrontEnd.h"
#include "faximage/core/LittleEndian.h"

namespace faxtest {

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const std::string& path, const std::string& text) {
    WriteFile(path, Bytes(text.begin(), text.end()));
}

void T4Stream::PutBit(bool one) {
    if (bit_ % 8 == 0) {
        bytes_.push_back(0);
    }
    if (one) {
        bytes_.back() |= static_cast<std::uint8_t>(1u << (bit_ % 8));
    }
    ++bit_;
}

T4Stream& T4Stream::Bits(const std::string& printedBits) {
    for (char c : printedBits) {
        PutBit(c == '1');
    }
    return *this;
}

T4Stream& T4Stream::Code(t4::Code code) {
    for (int bit = code.bits - 1; bit >= 0; --bit) {
        PutBit((code.value >> bit) & 1);
    }
    return *this;
}

T4Stream& T4Stream::Run(int colour, int length) {
    if (length >= 64) {
        Code(t4::MakeUp(colour, length / 64 - 1));
    }
    return Code(t4::Terminating(colour, length % 64));
}

T4Stream& T4Stream::Line(const std::vector<int>& runs) {
    Eol();
    int colour = 0;
    for (int run : runs) {
        Run(colour, run);
        colour ^= 1;
    }
    return *this;
}

T4Stream& T4Stream::PadToByte() {
    while (bit_ % 8 != 0) {
        PutBit(false);
    }
    return *this;
}

Bytes MakeApf(const std::vector<ApfPage>& pages, int pageCount) {
    Bytes file(64, 0);
    const char signature[] = {'A', 'P', 'F', '1', '0', 0x1A};
    std::copy(signature, signature + 6, file.begin());
    le::Put16(file.data() + 32, static_cast<std::uint16_t>(
                                    pageCount < 0 ? static_cast<int>(pages.size()) : pageCount));
    le::Put32(file.data() + 34, 64);
    for (const ApfPage& page : pages) {
        Bytes header(16, 0);
        le::Put32(header.data(), static_cast<std::uint32_t>(page.data.size()));
        le::Put16(header.data() + 4, page.flags);
        file.insert(file.end(), header.begin(), header.end());
        file.insert(file.end(), page.data.begin(), page.data.end());
    }
    return file;
}

Bytes Records(const std::vector<Bytes>& chunks) {
    Bytes out;
    for (const Bytes& chunk : chunks) {
        out.push_back(static_cast<std::uint8_t>(chunk.size()));
        out.push_back(static_cast<std::uint8_t>(chunk.size() >> 8));
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

namespace {

std::string NextToken(std::istream& in) {
    std::string token;
    while (in >> token) {
        if (token[0] == '#') {
            std::getline(in, token);
            continue;
        }
        return token;
    }
    throw std::runtime_error("truncated PBM");
}

} // namespace

FaxRaster ReadPbm(const std::string& path) {
    const Bytes bytes = ReadFile(path);
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    const std::string magic = NextToken(in);
    const int width = std::stoi(NextToken(in));
    const int height = std::stoi(NextToken(in));
    FaxRaster raster(width, height);
    if (magic == "P4") {
        in.get();
        for (int y = 0; y < height; ++y) {
            in.read(reinterpret_cast<char*>(raster.Row(y)), raster.BytesPerRow());
        }
    } else if (magic == "P1") {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                char c;
                do {
                    in >> c;
                } while (c != '0' && c != '1');
                raster.SetPixel(x, y, c == '1');
            }
        }
    } else {
        throw std::runtime_error("not a PBM file: " + path);
    }
    return raster;
}

int ConvertRaster(const FaxRaster& picture, const std::string& output, std::uint16_t options,
                  int leftMargin, bool fine, int width, int topMargin) {
    FaxConverterEngine engine(std::make_unique<BitmapFrontEnd>(picture));
    engine.SetOptions(options, 0xFFFF);
    engine.SetLeftMargin(leftMargin);
    engine.SetTopMargin(topMargin);
    engine.SetHighResolution(fine);
    engine.SetWidth(width);
    return engine.ConvertFile("", output);
}

DecodedPage DecodeLines(const std::string& apf, unsigned page, std::uint16_t flags,
                        unsigned whitespaceFrom, unsigned whitespaceTo) {
    DecodedPage decoded;
    FaxUnpackerEngine engine;
    engine.SetFlags(flags);
    engine.SetWhitespaceCompression(whitespaceFrom, whitespaceTo);
    engine.SetOutputLine([&decoded](FaxUnpackerEngine::LineKind kind, const std::uint8_t* data,
                                    unsigned length, unsigned) {
        if (kind == FaxUnpackerEngine::LineKind::Line) {
            decoded.lines.emplace_back(data, data + length);
        }
        return 0;
    });
    decoded.result = engine.UnpackPage(apf, page);
    decoded.invalidCodes = engine.InvalidCodes();
    return decoded;
}

Bytes ShiftedRow(const FaxRaster& raster, int y, int shift, int lineBytes) {
    Bytes row(static_cast<std::size_t>(lineBytes), 0);
    for (int x = 0; x < raster.Width() && x + shift < lineBytes * 8; ++x) {
        if (raster.Pixel(x, y)) {
            const int at = x + shift;
            row[static_cast<std::size_t>(at >> 3)] |= static_cast<std::uint8_t>(0x80 >> (at & 7));
        }
    }
    return row;
}

} // namespace faxtest
