#include "QpxBuiltins.h"

#include "common/DataFolder.h"
#include "common/ErrorText.h"
#include "common/InstalledFiles.h"
#include "common/Settings.h"
#include "common/IniFile.h"
#include "common/Version.h"

#include <cstdio>
#include <iostream>

namespace {

bool AsksForHelp(const std::vector<std::string>& args) {
    return !args.empty() && (args[0] == "--help" || args[0] == "-h");
}

} // namespace

int QpxVersion(const std::vector<std::string>& args) {
    if (AsksForHelp(args)) {
        std::cout << "usage: qpx version\n       qpx --version\n";
        return 0;
    }
    std::cout << "qpx (Quillpost) " << QP_VERSION_STRING << "\n";
    return 0;
}

int QpxError(const std::vector<std::string>& args) {
    if (args.empty() || AsksForHelp(args)) {
        (args.empty() ? std::cerr : std::cout) << "usage: qpx error CODE...\n";
        return args.empty() ? 2 : 0;
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

int QpxPaths(const std::vector<std::string>& args) {
    if (!args.empty()) {
        (AsksForHelp(args) ? std::cout : std::cerr) << "usage: qpx paths\n";
        return AsksForHelp(args) ? 0 : 2;
    }
    const std::string shared = InstalledFiles::SharedFolder();
    const std::string dictionary = InstalledFiles::DataFile("qpx.dct");
    std::cout << "data folder: " << DataFolder() << "\n"
              << "settings file: " << SettingsFileName() << "\n"
              << "program folder: " << ExecutableFolder() << "\n"
              << "shared files: " << (shared.empty() ? "(not installed)" : shared) << "\n"
              << "dictionary: " << (dictionary.empty() ? "(none shipped)" : dictionary) << "\n";
    return 0;
}
