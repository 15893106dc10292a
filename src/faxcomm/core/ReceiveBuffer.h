#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "faxcomm/core/PortConstants.h"

namespace qpcomm {

// The dispatch buffer of a port: 8192 bytes, circular. Bytes are appended at the tail and
// taken at the head; both indices wrap at 8192. Head equal to tail means empty unless the
// full flag is set, so all 8192 bytes can be used.
// Not thread-safe by itself: the port record's lock guards it.
class ReceiveBuffer {
public:
    static constexpr std::size_t Capacity = DispatchBufferSize;

    std::size_t Count() const;
    std::size_t FreeSpace() const { return Capacity - Count(); }
    bool IsEmpty() const { return head_ == tail_ && !full_; }
    bool IsFull() const { return full_; }
    std::size_t Head() const { return head_; }
    std::size_t Tail() const { return tail_; }

    // Appends up to `length` bytes; returns how many fitted.
    std::size_t Append(const std::uint8_t* data, std::size_t length);
    // Removes the byte at the head; false when empty.
    bool Take(std::uint8_t& byte);
    // The byte `offset` places after the head without removing it; false beyond the end.
    bool PeekAt(std::size_t offset, std::uint8_t& byte) const;
    void Clear();

private:
    std::array<std::uint8_t, Capacity> bytes_{};
    std::size_t head_ = 0;
    std::size_t tail_ = 0;
    bool full_ = false;
};

} // namespace qpcomm
