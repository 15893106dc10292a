// Whatever a computer sends — command lines, page data, noise, DTR changes, calls at odd
// moments — the emulated modem neither crashes nor stops answering.
// Input: chunks, each a control byte and 1..64 bytes for the modem. Control bits 0-5:
// length - 1; bits 6-7: 0 plain, 1 wait 300 ms first, 2 toggle DTR first, 3 a call rings.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "Class2Modem.h"
#include "TestPages.h"

using namespace std::chrono_literals;

namespace {

// A one-page document for calls, made once and removed when the process ends.
struct CallerDocument {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("class2modem-fuzz-" + std::to_string(::getpid()) + ".tif"))
                           .string();
    CallerDocument() { testpages::WriteTiff(path, {testpages::Pattern(1728, 8, 1)}, false); }
    ~CallerDocument() { std::filesystem::remove(path); }
};

const std::string& CallerDocumentPath() {
    static const CallerDocument document;
    return document.path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ModemOptions options;
    options.delays = ModemDelays::Fast();
    options.txTiffs = {CallerDocumentPath()};
    Class2Modem modem(options, nullptr);
    Class2Modem::TimePoint now{};
    bool dtr = true;
    std::size_t pos = 0;
    while (pos < size) {
        const std::uint8_t control = data[pos++];
        const std::size_t length = std::min<std::size_t>(size - pos, (control & 63) + 1);
        switch (control >> 6) {
        case 1:
            for (int step = 0; step < 30; ++step) {
                now += 10ms;
                modem.Advance(now);
            }
            break;
        case 2:
            dtr = !dtr;
            modem.SetDtr(dtr, now);
            break;
        case 3: {
            std::string error;
            modem.StartIncomingCall({}, now, error);
            break;
        }
        default:
            break;
        }
        modem.Receive(data + pos, length, now);
        pos += length;
        now += 7ms;
        modem.Advance(now);
        modem.Output().clear();
    }
    // Let every pending step run out.
    for (int step = 0; step < 1500; ++step) {
        now += 10ms;
        modem.Advance(now);
        modem.Output().clear();
    }
    return 0;
}
