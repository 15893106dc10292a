#include "DleDecoder.h"

namespace {

constexpr std::uint8_t Dle = 0x10;
constexpr std::uint8_t Etx = 0x03;
constexpr std::uint8_t Sub = 0x1A;
constexpr std::uint8_t Can = 0x18;

} // namespace

std::size_t DleDecoder::Decode(const std::uint8_t* input, std::size_t size, std::size_t dataLimit,
                               std::vector<std::uint8_t>& out, Marker& marker) {
    marker = Marker::None;
    std::size_t used = 0;
    std::size_t added = 0;
    while (used < size && added < dataLimit) {
        const std::uint8_t byte = input[used++];
        if (!dlePending_) {
            if (byte == Dle) {
                dlePending_ = true;
            } else {
                out.push_back(byte);
                ++added;
            }
            continue;
        }
        dlePending_ = false;
        switch (byte) {
        case Dle:
            out.push_back(Dle);
            ++added;
            break;
        case Sub:
            out.push_back(Dle);
            out.push_back(Dle);
            added += 2;
            break;
        case Etx:
            marker = Marker::Etx;
            return used;
        case Can:
            marker = Marker::Cancel;
            return used;
        case ',':
        case ';':
        case '.':
            if (class20_) {
                marker = byte == ','   ? Marker::MorePages
                         : byte == ';' ? Marker::NewDocument
                                       : Marker::LastPage;
                return used;
            }
            break;
        default:
            break;
        }
    }
    return used;
}
