// Fuzz target: whatever a modem sends, the trigger scan, the receive buffer, the string
// matcher and the trace dump stay within their bounds and every evaluation pass ends.
//
// Input: byte 0 = data-available threshold, byte 1 = how many bytes a reader takes after
// each chunk, then up to three data-trigger texts ended by a 0 byte each, then the
// received bytes, fed in chunks of 1 + (byte % 64).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "faxcomm/core/PortTrace.h"
#include "faxcomm/core/ReceiveBuffer.h"
#include "faxcomm/core/StringMatcher.h"
#include "faxcomm/core/TriggerTable.h"

using namespace qpcomm;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    TriggerTable table;
    table.SetAvailThreshold(data[0] % 16);
    const std::size_t takePerChunk = data[1] % 32;
    std::size_t pos = 2;
    for (int i = 0; i < 3 && pos < size; ++i) {
        std::string text;
        while (pos < size && data[pos] != 0) {
            text += static_cast<char>(data[pos++]);
        }
        ++pos;
        table.AddData(text, i == 1);
    }
    ReceiveBuffer buffer;
    PortTrace trace(256);
    StringMatcher matcher("OK", true);
    const auto now = TriggerTable::Clock::now();
    while (pos < size) {
        const std::size_t chunk = 1 + data[pos] % 64;
        const std::size_t length = std::min(chunk, size - pos);
        buffer.Append(data + pos, length);
        pos += length;
        int passes = 0;
        while (auto message = table.NextFiring(now, PortConditions{}, buffer)) {
            if (message->message == msgTriggerAvail && message->wParam > buffer.Count()) {
                std::abort(); // reported more bytes than are waiting
            }
            if (++passes > 10000) {
                std::abort(); // an evaluation that never ends
            }
        }
        std::uint8_t byte = 0;
        std::size_t taken = 0;
        while (taken < takePerChunk && buffer.Take(byte)) {
            trace.Add('R', byte);
            matcher.Feed(static_cast<char>(byte));
            ++taken;
        }
        table.BytesTaken(taken);
    }
    (void)trace.DumpText(true);
    (void)trace.DumpText(false);
    return 0;
}
