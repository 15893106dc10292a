// Quillpost: a desktop fax program.
#include "app/TFaxFileView.h"
#include "app/TMainScreen.h"
#include "app/TPreviousInstance.h"
#include "app/TTerminationSignals.h"
#include "common/Version.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillpost"));
    QApplication::setApplicationVersion(QStringLiteral(QP_VERSION_STRING));
    QApplication::setDesktopFileName(QStringLiteral("org.quillpost.Quillpost"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quillpost, a desktop fax program"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption minimized({"m", "minimized"}, QStringLiteral("Start minimised."));
    parser.addOption(minimized);
    const QCommandLineOption view(
        "view", QStringLiteral("Show the fax file FILE (APF or TIFF) in the view window."),
        QStringLiteral("FILE"));
    parser.addOption(view);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A fax file to view, as with --view."),
                                 QStringLiteral("[FILE]"));
    parser.process(app);

    // Viewing a file needs neither the main window nor the single-instance guard, so a
    // fax opens from the file manager while the program runs.
    const QStringList files = parser.positionalArguments();
    if (parser.isSet(view) || !files.isEmpty()) {
        if (files.size() > (parser.isSet(view) ? 0 : 1)) {
            parser.showHelp(2);
        }
        return TFaxFileView(parser.isSet(view) ? parser.value(view) : files.first()).Run();
    }

    // Take the single-instance lock while the program initialises.
    TPreviousInstance::Instance();

    // Logging out or "kill" ends the program like its Exit command, not in mid-step; a
    // signal that comes while the main window is being made is handled once it stands.
    TTerminationSignals termination;
    TMainScreen mainScreen(parser.isSet(minimized));
    QObject::connect(&termination, &TTerminationSignals::Requested, &mainScreen,
                     &TMainScreen::CloseWithoutAsking);
    termination.Start();
    mainScreen.ShowAtStart();
    return app.exec();
}
