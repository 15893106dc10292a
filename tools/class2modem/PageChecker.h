#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct t4_state_s;

// Checks one received page with spandsp's T.4 decoder: one-dimensional coded data, least
// significant bit first, fed in pieces as it arrives. The result has the decoder's row
// and bad-row counts and the decoded rows (most significant bit leftmost, 1 = black).
class PageChecker {
public:
    struct Result {
        int rows = 0;
        int badRows = 0;
        int width = 0;
        bool fine = false;
        std::size_t bytes = 0; // coded bytes fed
        std::vector<std::uint8_t> image;
    };

    PageChecker() = default;
    ~PageChecker();
    PageChecker(const PageChecker&) = delete;
    PageChecker& operator=(const PageChecker&) = delete;

    // Starts a page of `width` pixels (1728, 2048, 2432) at normal or fine resolution.
    // False when the decoder cannot be set up.
    bool Start(int width, bool fine);
    void Put(const std::uint8_t* data, std::size_t size);
    // Ends the page and returns what the decoder made of it.
    Result Finish();
    bool Active() const { return state_ != nullptr; }

private:
    static int OnRow(void* self, const std::uint8_t* row, std::size_t length);
    void Release();

    t4_state_s* state_ = nullptr;
    Result result_;
};
