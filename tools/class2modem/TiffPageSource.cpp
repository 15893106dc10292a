#include "TiffPageSource.h"

#include <spandsp.h>

namespace {

bool FaxWidth(int width) {
    return width == 1728 || width == 2048 || width == 2432;
}

} // namespace

bool TiffPageSource::Open(const std::vector<std::string>& files, std::string& error) {
    std::vector<Document> documents;
    for (const std::string& file : files) {
        t4_tx_state_t* state = t4_tx_init(nullptr, file.c_str(), -1, -1);
        if (!state) {
            error = "cannot read TIFF file " + file;
            return false;
        }
        Document document;
        document.file = file;
        const int pages = t4_tx_get_pages_in_file(state);
        for (int page = 0; page < pages; ++page) {
            if (t4_tx_start_page(state) != 0) {
                break;
            }
            PageInfo info;
            info.width = t4_tx_get_image_width(state);
            info.fine = t4_tx_get_y_resolution(state) > T4_Y_RESOLUTION_STANDARD;
            std::uint8_t chunk[4096];
            while (t4_tx_get_chunk(state, chunk, sizeof chunk) > 0) {
            }
            t4_tx_end_page(state);
            t4_stats_t stats{};
            t4_tx_get_transfer_statistics(state, &stats);
            info.rows = stats.length;
            if (!FaxWidth(info.width)) {
                t4_tx_free(state);
                error = file + ": page " + std::to_string(page + 1) + " is " +
                        std::to_string(info.width) + " pixels wide, not a fax width";
                return false;
            }
            document.pages.push_back(info);
        }
        t4_tx_free(state);
        if (document.pages.empty()) {
            error = "no page in TIFF file " + file;
            return false;
        }
        documents.push_back(std::move(document));
    }
    documents_ = std::move(documents);
    return true;
}

int TiffPageSource::Pages(int document) const {
    return document >= 0 && document < Documents()
               ? static_cast<int>(documents_[document].pages.size())
               : 0;
}

int TiffPageSource::TotalPages() const {
    int total = 0;
    for (int document = 0; document < Documents(); ++document) {
        total += Pages(document);
    }
    return total;
}

TiffPageSource::PageInfo TiffPageSource::Info(int document, int page) const {
    return documents_.at(document).pages.at(page);
}

std::vector<std::uint8_t> TiffPageSource::Encode(int document, int page, int minBitsPerRow,
                                                 std::string& error) const {
    const Document& source = documents_.at(document);
    t4_tx_state_t* state = t4_tx_init(nullptr, source.file.c_str(), page, page);
    if (!state) {
        error = "cannot read TIFF file " + source.file;
        return {};
    }
    t4_tx_set_tx_encoding(state, T4_COMPRESSION_ITU_T4_1D);
    t4_tx_set_min_bits_per_row(state, minBitsPerRow);
    std::vector<std::uint8_t> data;
    if (t4_tx_start_page(state) == 0) {
        std::uint8_t chunk[4096];
        int count = 0;
        while ((count = t4_tx_get_chunk(state, chunk, sizeof chunk)) > 0) {
            data.insert(data.end(), chunk, chunk + count);
        }
        t4_tx_end_page(state);
    }
    t4_tx_free(state);
    if (data.empty()) {
        error = source.file + ": page " + std::to_string(page + 1) + " cannot be coded";
    }
    return data;
}
