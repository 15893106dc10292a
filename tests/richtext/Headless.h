#pragma once

#include <QtGlobal>

// The rich text tests run headless also when started directly, outside CTest: without a
// platform of its own choosing, the offscreen one is used (set before QApplication starts).
namespace qptest {
inline const bool kHeadless = [] {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    return true;
}();
} // namespace qptest
