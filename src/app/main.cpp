// Quillpost: a desktop fax program.
#include "app/TMainScreen.h"
#include "app/TPreviousInstance.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillpost"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quillpost, a desktop fax program"));
    parser.addHelpOption();
    const QCommandLineOption minimized({"m", "minimized"}, QStringLiteral("Start minimised."));
    parser.addOption(minimized);
    parser.process(app);

    // Take the single-instance lock while the program initialises.
    TPreviousInstance::Instance();

    TMainScreen mainScreen(parser.isSet(minimized));
    mainScreen.ShowAtStart();
    return app.exec();
}
