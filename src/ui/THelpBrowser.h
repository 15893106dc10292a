#pragma once

#include <QDialog>

class QTextBrowser;

// The program's help window: HTML topics compiled into the program, one per help
// context number (":/help/<number>.html"), shown in a browser that follows the links
// between topics. One window serves every request; it stays open beside the program.
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
    // returns the window.
    static THelpBrowser* ShowTopic(int context);

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
