#include "ui/THelpBrowser.h"

#include "ui/KeyboardAccess.h"
#include "ui/WindowUtils.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

QPointer<THelpBrowser> helpWindow;

const char* const MissingTopic = "<h2>Help topic not found</h2>"
                                 "<p>There is no help for this subject (topic %1).</p>"
                                 "<p><a href=\"qrc:/help/1009.html\">Contents</a></p>";

} // namespace

QString THelpBrowser::TopicUrl(int context) {
    return QStringLiteral("qrc:/help/%1.html").arg(context);
}

THelpBrowser::THelpBrowser(QWidget* parent) : QDialog(parent) {
    setObjectName("HelpBrowser");
    setWindowTitle(QStringLiteral("Quillpost Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setModal(false);
    resize(560, 480);

    auto* layout = new QVBoxLayout(this);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName("HelpText");
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(false);
    layout->addWidget(browser_);

    auto* buttons = new QHBoxLayout;
    auto* contents = new QPushButton(QStringLiteral("&Contents"), this);
    auto* back = new QPushButton(QStringLiteral("&Back"), this);
    auto* close = new QPushButton(QStringLiteral("C&lose"), this);
    contents->setObjectName("ContentsButton");
    back->setObjectName("BackButton");
    close->setObjectName("CloseButton");
    buttons->addWidget(contents);
    buttons->addWidget(back);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(contents, &QPushButton::clicked, this, [this] { Show(hcContents); });
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    back->setEnabled(false);
    // The focus starts in the text, where the arrow keys scroll and Tab walks the links.
    KeyboardAccess::SetName(browser_, QStringLiteral("Help topic"));
    KeyboardAccess::Prepare(this, {browser_, contents, back, close});
}

void THelpBrowser::Show(int context) {
    topic_ = context;
    const QString url = TopicUrl(context);
    if (QFile::exists(url.mid(3))) {
        browser_->setSource(QUrl(url));
    } else {
        browser_->setHtml(QString::fromLatin1(MissingTopic).arg(context));
    }
}

namespace {

// The window the help window belongs to. A modal dialog blocks every window that is not
// its own, so help asked for while one is open must belong to it to be usable.
QWidget* HelpOwner(QWidget* requester) {
    if (requester) {
        return requester->window();
    }
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return MainForm();
}

} // namespace

THelpBrowser* THelpBrowser::ShowTopic(int context, QWidget* requester) {
    QWidget* owner = HelpOwner(requester);
    if (helpWindow && helpWindow->parentWidget() != owner) {
        const QRect placed = helpWindow->geometry();
        helpWindow->setParent(owner, helpWindow->windowFlags());
        helpWindow->setGeometry(placed);
    }
    if (!helpWindow) {
        helpWindow = new THelpBrowser(owner);
        CenterForm(helpWindow);
    }
    helpWindow->Show(context);
    helpWindow->show();
    helpWindow->raise();
    helpWindow->activateWindow();
    return helpWindow;
}
