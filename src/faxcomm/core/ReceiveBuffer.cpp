#include "faxcomm/core/ReceiveBuffer.h"

namespace qpcomm {

std::size_t ReceiveBuffer::Count() const {
    if (full_) {
        return Capacity;
    }
    return (tail_ + Capacity - head_) % Capacity;
}

std::size_t ReceiveBuffer::Append(const std::uint8_t* data, std::size_t length) {
    std::size_t stored = 0;
    while (stored < length && !full_) {
        bytes_[tail_] = data[stored++];
        tail_ = (tail_ + 1) % Capacity;
        full_ = tail_ == head_;
    }
    return stored;
}

bool ReceiveBuffer::Take(std::uint8_t& byte) {
    if (IsEmpty()) {
        return false;
    }
    byte = bytes_[head_];
    head_ = (head_ + 1) % Capacity;
    full_ = false;
    return true;
}

bool ReceiveBuffer::PeekAt(std::size_t offset, std::uint8_t& byte) const {
    if (offset >= Count()) {
        return false;
    }
    byte = bytes_[(head_ + offset) % Capacity];
    return true;
}

void ReceiveBuffer::Clear() {
    head_ = tail_ = 0;
    full_ = false;
}

} // namespace qpcomm
