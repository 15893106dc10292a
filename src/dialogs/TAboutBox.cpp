#include "dialogs/TAboutBox.h"

#include "common/Version.h"
#include "ui/KeyboardAccess.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSysInfo>
#include <QVBoxLayout>

namespace {

// A sheet of paper coming out of a fax machine.
QPixmap AboutPicture() {
    QPixmap picture(96, 96);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.5));
    painter.setBrush(Qt::white);
    painter.drawRect(24, 6, 48, 56);
    painter.setPen(QPen(QColor(64, 128, 128), 2));
    for (int y = 16; y <= 50; y += 8) {
        painter.drawLine(31, y, y % 16 == 0 ? 65 : 56, y);
    }
    painter.setPen(QPen(Qt::black, 1.5));
    painter.setBrush(QColor(64, 128, 128));
    painter.drawRoundedRect(8, 52, 80, 36, 6, 6);
    painter.setBrush(Qt::white);
    painter.drawRect(20, 58, 56, 6);
    return picture;
}

} // namespace

QString TAboutBox::VersionText() {
    return QStringLiteral("Quillpost version %1").arg(QStringLiteral(QP_VERSION_STRING));
}

QString TAboutBox::PlatformText() {
    return QStringLiteral("%1-bit version for %2")
        .arg(QSysInfo::WordSize)
        .arg(QSysInfo::prettyProductName());
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle(QStringLiteral("About Quillpost"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* picture = new QLabel(this);
    picture->setObjectName("ProgramIcon");
    picture->setPixmap(AboutPicture());
    auto* texts = new QVBoxLayout;
    auto* product = new QLabel(QStringLiteral("Quillpost"), this);
    QFont big = product->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    product->setFont(big);
    version_ = new QLabel(VersionText(), this);
    version_->setObjectName("Version");
    platform_ = new QLabel(PlatformText(), this);
    platform_->setObjectName("Platform");
    auto* notice = new QLabel(QStringLiteral("A desktop fax program for one user and a fax "
                                             "modem.\nSend, receive, view and print faxes."),
                              this);
    texts->addWidget(product);
    texts->addWidget(version_);
    texts->addWidget(platform_);
    texts->addSpacing(8);
    texts->addWidget(notice);
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    layout->addLayout(top);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    KeyboardAccess::Prepare(this, {ok});
    setFixedSize(sizeHint());
}
