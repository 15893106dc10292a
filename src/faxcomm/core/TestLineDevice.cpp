#include "faxcomm/core/TestLineDevice.h"

namespace qpcomm {

TestLineDevice::TestLineDevice(TestLine::Options options) : options_(std::move(options)) {}

TestLineDevice::~TestLineDevice() {
    Close();
}

int TestLineDevice::Open(const std::string&) {
    error_.clear();
    const int started = line_.Start(options_, &error_);
    if (started != 0) {
        return started;
    }
    const int opened = pty_.Open(line_.Link());
    if (opened != 0) {
        line_.Stop();
    }
    return opened;
}

void TestLineDevice::Close() {
    pty_.Close();
    line_.Stop();
}

} // namespace qpcomm
