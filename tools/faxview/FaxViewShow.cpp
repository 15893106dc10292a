// faxview-show FILE.APF [--zoom PERCENT] [--page N] [--size WxH] [--header TEXT]
// Shows a fax file in the "Fax Viewer " window, as the main window's View command does.
#include "dialogs/TFaxViewer.h"
#include "faximage/viewer/TQpFaxPrinter.h"
#include "faximage/viewer/TQpFaxViewer.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows a fax file in the view window."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("APF fax file"));
    const QCommandLineOption zoom(QStringLiteral("zoom"), QStringLiteral("zoom in percent"),
                                  QStringLiteral("percent"));
    const QCommandLineOption page(QStringLiteral("page"), QStringLiteral("page to show"),
                                  QStringLiteral("n"));
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("window size"),
                                  QStringLiteral("WxH"));
    const QCommandLineOption header(QStringLiteral("header"),
                                    QStringLiteral("header caption for printing"),
                                    QStringLiteral("text"));
    parser.addOptions({zoom, page, size, header});
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        parser.showHelp(2);
    }

    TFaxViewer window;
    window.SetFileName(parser.positionalArguments().first());
    if (parser.isSet(header)) {
        window.FaxPrinter()->FaxHeader().SetCaption(parser.value(header));
    }
    if (parser.isSet(size)) {
        const QStringList parts = parser.value(size).split(QLatin1Char('x'));
        if (parts.size() == 2) {
            window.resize(parts[0].toInt(), parts[1].toInt());
        }
    }
    // Zoom and page apply once the window has loaded the file at its first activation.
    QTimer::singleShot(500, &window, [&] {
        if (parser.isSet(zoom)) {
            window.ApplyZoom(parser.value(zoom).toInt());
        }
        const int wanted = parser.value(page).toInt();
        if (wanted >= 1 && wanted <= window.FaxViewer()->PageCount()) {
            window.FaxViewer()->SetPageNumber(wanted);
        }
    });
    return window.exec();
}
