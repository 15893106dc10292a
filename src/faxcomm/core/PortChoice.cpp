#include "faxcomm/core/PortChoice.h"

namespace qpcomm {

std::string PortChoice::Caption() const {
    std::string caption = "Com" + std::to_string(comNumber);
    if (!label.empty()) {
        caption += "  " + label;
    }
    return caption;
}

} // namespace qpcomm
