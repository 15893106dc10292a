#include "faximage/viewer/cli/ApfPrint.h"

#include "faximage/viewer/TQpFaxPrinter.h"

#include "common/EQPException.h"

#include <iostream>
#include <memory>
#include <optional>

#include <QGuiApplication>
#include <QPageLayout>
#include <QPrinter>

namespace {

constexpr const char* Usage =
    "usage: qpx apf print FILE.APF -o OUT.pdf [--pages A-B] [--multipage] [--landscape]\n"
    "                     [--header TEXT] [--footer TEXT]\n";

struct PrintRequest {
    std::string input;
    std::string output;
    std::optional<std::pair<int, int>> pages;
    bool multiPage = false;
    bool landscape = false;
    std::optional<std::string> header;
    std::optional<std::string> footer;
};

// "A-B" or "A"; false when malformed.
bool ParsePages(const std::string& text, std::pair<int, int>& pages) {
    try {
        std::size_t used = 0;
        const int first = std::stoi(text, &used);
        int last = first;
        if (used < text.size()) {
            if (text[used] != '-') {
                return false;
            }
            std::size_t usedLast = 0;
            last = std::stoi(text.substr(used + 1), &usedLast);
            if (used + 1 + usedLast != text.size()) {
                return false;
            }
        }
        pages = {first, last};
        return first >= 1 && last >= first;
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<PrintRequest> ParseArgs(const std::vector<std::string>& args) {
    PrintRequest request;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--multipage") {
            request.multiPage = true;
        } else if (arg == "--landscape") {
            request.landscape = true;
        } else if (arg == "-o" && hasValue) {
            request.output = args[++i];
        } else if (arg == "--header" && hasValue) {
            request.header = args[++i];
        } else if (arg == "--footer" && hasValue) {
            request.footer = args[++i];
        } else if (arg == "--pages" && hasValue) {
            std::pair<int, int> pages;
            if (!ParsePages(args[++i], pages)) {
                return std::nullopt;
            }
            request.pages = pages;
        } else if (arg.starts_with("-") || !request.input.empty()) {
            return std::nullopt;
        } else {
            request.input = arg;
        }
    }
    if (request.input.empty() || request.output.empty()) {
        return std::nullopt;
    }
    return request;
}

void ApplyMargin(TQpFaxPrinterMargin& margin, const std::optional<std::string>& text) {
    if (!text) {
        return;
    }
    margin.SetCaption(QString::fromStdString(*text));
    margin.SetEnabled(!text->empty());
}

int Print(const PrintRequest& request) {
    TQpFaxPrinter printer;
    QPrinter& device = printer.Printer();
    device.setOutputFormat(QPrinter::PdfFormat);
    device.setOutputFileName(QString::fromStdString(request.output));
    device.setPageOrientation(request.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.SetMultiPage(request.multiPage);
    ApplyMargin(printer.FaxHeader(), request.header);
    ApplyMargin(printer.FaxFooter(), request.footer);
    printer.SetFileName(QString::fromStdString(request.input));
    if (request.pages) {
        if (request.pages->second > printer.TotalPages()) {
            std::cerr << "qpx apf print: the file has " << printer.TotalPages() << " pages\n";
            return 1;
        }
        printer.SetFirstPageToPrint(request.pages->first);
        printer.SetLastPageToPrint(request.pages->second);
    }
    if (printer.TotalPages() == 0) {
        std::cerr << "qpx apf print: the file has no pages\n";
        return 1;
    }
    printer.PrintPages();
    std::cout << "printed pages " << printer.FirstPageToPrint() << "-" << printer.LastPageToPrint()
              << " of " << request.input << " to " << request.output << "\n";
    return 0;
}

} // namespace

int ApfPrint(const std::vector<std::string>& args) {
    const std::optional<PrintRequest> request = ParseArgs(args);
    if (!request) {
        std::cerr << Usage;
        return 2;
    }
    // Printing draws text, which needs a GUI application; a PDF needs no screen.
    std::unique_ptr<QGuiApplication> app;
    if (!QCoreApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "qpx";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        std::cerr << "qpx apf print: needs a GUI application object\n";
        return 1;
    }
    try {
        return Print(*request);
    } catch (const EQPException& error) {
        std::cerr << "qpx apf print: " << error.what() << " (" << error.ErrorCode() << ")\n";
        return 1;
    }
}
