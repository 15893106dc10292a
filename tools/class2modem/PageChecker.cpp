#include "PageChecker.h"

#include <atomic>
#include <filesystem>
#include <string>
#include <unistd.h>

#include <spandsp.h>

namespace {

// A file name in the temporary folder that no file has.
std::string ScratchName() {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    while (true) {
        const std::filesystem::path name =
            folder / ("class2modem-check-" + std::to_string(::getpid()) + "-" +
                      std::to_string(counter++) + ".tif");
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(name, error))) {
            return name.string();
        }
    }
}

} // namespace

PageChecker::~PageChecker() {
    Release();
}

void PageChecker::Release() {
    if (state_) {
        t4_rx_free(state_);
        state_ = nullptr;
    }
}

bool PageChecker::Start(int width, bool fine) {
    Release();
    result_ = Result{};
    result_.width = width;
    result_.fine = fine;
    // With a row handler set, spandsp hands the rows over instead of writing a file, but
    // it still deletes the file it was given when it ends: give it a name nobody uses.
    state_ = t4_rx_init(nullptr, ScratchName().c_str(), T4_COMPRESSION_ITU_T4_1D);
    if (!state_) {
        return false;
    }
    t4_rx_set_row_write_handler(state_, &PageChecker::OnRow, this);
    t4_rx_set_rx_encoding(state_, T4_COMPRESSION_ITU_T4_1D);
    t4_rx_set_image_width(state_, width);
    t4_rx_set_x_resolution(state_, T4_X_RESOLUTION_R8);
    t4_rx_set_y_resolution(state_, fine ? T4_Y_RESOLUTION_FINE : T4_Y_RESOLUTION_STANDARD);
    if (t4_rx_start_page(state_) != 0) {
        Release();
        return false;
    }
    return true;
}

void PageChecker::Put(const std::uint8_t* data, std::size_t size) {
    if (!state_ || size == 0) {
        return;
    }
    result_.bytes += size;
    t4_rx_put_chunk(state_, data, static_cast<int>(size));
}

PageChecker::Result PageChecker::Finish() {
    if (state_) {
        t4_rx_end_page(state_);
        t4_stats_t stats{};
        t4_rx_get_transfer_statistics(state_, &stats);
        result_.rows = stats.length;
        result_.badRows = stats.bad_rows;
        Release();
    }
    return std::move(result_);
}

int PageChecker::OnRow(void* self, const std::uint8_t* row, std::size_t length) {
    auto* checker = static_cast<PageChecker*>(self);
    if (length > 0) {
        checker->result_.image.insert(checker->result_.image.end(), row, row + length);
    }
    return 0;
}
