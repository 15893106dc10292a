#pragma once

#include <QDialog>

class QTextBrowser;

// The program's help window: HTML topics compiled into the program, one per help
// context number (":/help/<number>.html"), shown in a browser that follows the links
// between topics. One window serves every request; it stays open beside the program.
// Asked for from a modal dialog, it opens in front of that dialog and stays usable while
// the dialog is open (it belongs to the dialog and closes with it).
class THelpBrowser final : public QDialog {
    Q_OBJECT

public:
    // Help contexts of the program's windows.
    enum Context {
        hcContents = 1009,
        hcFaxEditor = 1015,
        hcSendFax = 1016,
        hcCoverBrowser = 1017,
        hcCoverEditor = 1018,
        hcPhoneBrowser = 1019,
        hcPhoneEditor = 1020,
        hcFaxViewer = 1021,
        hcPreferences = 1022,
        hcTroubleshooting = 1026,
    };

    // Shows topic `context` in the help window, creating the window when needed, and
    // returns the window. `requester`: the window that asks; by default the modal dialog
    // that is open, else the main window.
    static THelpBrowser* ShowTopic(int context, QWidget* requester = nullptr);

    // The topic shown, 0 when none.
    int Topic() const { return topic_; }
    QTextBrowser* Browser() const { return browser_; }

    static QString TopicUrl(int context);

private:
    explicit THelpBrowser(QWidget* parent);
    void Show(int context);

    QTextBrowser* browser_;
    int topic_ = 0;
};
