#include "faximage/core/ThresholdDither.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <unistd.h>
#include <vector>

#include "faximage/core/FaxImageResult.h"
#include "faximage/core/LittleEndian.h"

namespace {

constexpr std::array<std::array<std::uint8_t, 16>, 16> MakeMatrix() {
    std::array<std::array<std::uint8_t, 16>, 16> matrix{};
    for (int column = 0; column < 16; ++column) {
        for (int row = 0; row < 16; ++row) {
            int i = column, j = row, v = 0;
            for (int round = 0; round < 4; ++round) {
                v = (2 * v) | (2 * ((i ^ j) & 1)) | (j & 1);
                i >>= 1;
                j >>= 1;
            }
            matrix[column][row] = static_cast<std::uint8_t>(4 * v);
        }
    }
    return matrix;
}

constexpr auto kMatrix = MakeMatrix();

} // namespace

int ThresholdDither::Threshold(int column, int row) {
    return kMatrix[column & 15][row & 15];
}

FaxRaster ThresholdDither::Dither(int width, int height, const RowMeans& rowMeans) {
    FaxRaster result(width, height);
    std::vector<std::uint8_t> means(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        rowMeans(y, means.data());
        std::uint8_t* row = result.Row(y);
        for (int x = 0; x < width; ++x) {
            if (!(Threshold(x, y) < means[static_cast<std::size_t>(x)])) {
                row[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
            }
        }
    }
    return result;
}

int ThresholdDither::WriteMonochromeBmp(const FaxRaster& raster, const std::string& fileName) {
    const std::uint32_t padded = static_cast<std::uint32_t>((raster.BytesPerRow() + 3) / 4 * 4);
    const std::uint32_t pixelBytes = padded * static_cast<std::uint32_t>(raster.Height());
    const std::uint32_t offset = 14 + 40 + 8;
    std::vector<std::uint8_t> file(offset + pixelBytes, 0);
    file[0] = 'B';
    file[1] = 'M';
    le::Put32(file.data() + 2, offset + pixelBytes);
    le::Put32(file.data() + 10, offset);
    std::uint8_t* info = file.data() + 14;
    le::Put32(info, 40);
    le::Put32(info + 4, static_cast<std::uint32_t>(raster.Width()));
    le::Put32(info + 8, static_cast<std::uint32_t>(raster.Height()));
    le::Put16(info + 12, 1);
    le::Put16(info + 14, 1);
    le::Put32(info + 20, pixelBytes);
    le::Put32(info + 32, 2);
    std::uint8_t* palette = file.data() + 54; // index 0 black, index 1 white
    palette[4] = palette[5] = palette[6] = 0xFF;
    for (int y = 0; y < raster.Height(); ++y) {
        std::uint8_t* out =
            file.data() + offset + static_cast<std::size_t>(raster.Height() - 1 - y) * padded;
        const std::uint8_t* in = raster.Row(y);
        for (int index = 0; index < raster.BytesPerRow(); ++index) {
            out[index] = static_cast<std::uint8_t>(~in[index]);
        }
    }
    std::FILE* stream = std::fopen(fileName.c_str(), "wb");
    if (!stream) {
        return faxresult::FromErrno(errno);
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), stream) == file.size();
    const int error = errno;
    const bool closed = std::fclose(stream) == 0;
    if (!written || !closed) {
        std::remove(fileName.c_str());
        return faxresult::FromErrno(written ? errno : error);
    }
    return 0;
}

std::string ThresholdDither::CreateTemporaryFile() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    std::string pattern =
        ((error ? std::filesystem::path("/tmp") : folder) / "~DITXXXXXX.BMP").string();
    const int fd = mkstemps(pattern.data(), 4);
    if (fd < 0) {
        return {};
    }
    ::close(fd);
    return pattern;
}
