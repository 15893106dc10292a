#include "faximage/cli/ApfCommand.h"
#include "faximage/viewer/cli/ApfPrint.h"

#include <iostream>

#include <QCoreApplication>

const std::vector<ApfSubcommand>& ApfSubcommands() {
    static const std::vector<ApfSubcommand> table = {
        {"info", &ApfInfo, "info FILE.APF"},
        {"convert", &ApfConvert,
         "convert INPUT -o OUT.APF [--type text|tiff|pcx|dcx|bmp] [--fine] [--wide]\n"
         "        [--left-margin N] [--top-margin N] [--lines-per-page N] [--tab-stop N]\n"
         "        [--font standard|small] [--options N] [--station ID]"},
        {"render", &ApfRender,
         "render FILE.APF --page N -o OUT.pbm|OUT.png [--autoscale none|double-height|half-width]\n"
         "        [--scale HM/HD,VM/VD] [--whitespace FROM:TO]"},
        {"totiff", &ApfToTiff, "totiff FILE.APF -o OUT.TIF"},
        {"print", &ApfPrint,
         "print FILE.APF -o OUT.pdf [--pages A-B] [--multipage] [--landscape] [--header TEXT] "
         "[--footer TEXT]"},
    };
    return table;
}

namespace {

void PrintUsage(std::ostream& out) {
    out << "usage: qpx apf SUBCOMMAND ...\n";
    for (const ApfSubcommand& command : ApfSubcommands()) {
        out << "  qpx apf " << command.usage << "\n";
    }
}

} // namespace

int QpxApf(const std::vector<std::string>& args) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        PrintUsage(args.empty() ? std::cerr : std::cout);
        return args.empty() ? 2 : 0;
    }
    // The components process events while they work; they need an application object.
    int argc = 1;
    char name[] = "qpx";
    char* argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance() && args[0] != "print") { // print makes a GUI application
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    for (const ApfSubcommand& command : ApfSubcommands()) {
        if (args[0] == command.name) {
            return command.run(std::vector<std::string>(args.begin() + 1, args.end()));
        }
    }
    std::cerr << "qpx apf: unknown subcommand '" << args[0] << "'\n";
    PrintUsage(std::cerr);
    return 2;
}
