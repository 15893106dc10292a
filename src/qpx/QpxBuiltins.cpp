#include "QpxBuiltins.h"

#include "common/ErrorText.h"
#include "common/IniFile.h"
#include "common/Version.h"

#include <cstdio>
#include <iostream>

int QpxVersion(const std::vector<std::string>&) {
    std::cout << "qpx (Quillpost) " << QP_VERSION_STRING << "\n";
    return 0;
}

int QpxError(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << "usage: qpx error CODE...\n";
        return 2;
    }
    int status = 0;
    for (const auto& arg : args) {
        int code = 0;
        if (!IniFile::ParseInteger(arg, code)) {
            std::cerr << "qpx error: not a number: " << arg << "\n";
            status = 2;
            continue;
        }
        if (auto text = qp::ErrorText(code)) {
            std::cout << *text << "\n";
        } else {
            std::cerr << "qpx error: no text for code " << code << "\n";
            status = 1;
        }
    }
    return status;
}
