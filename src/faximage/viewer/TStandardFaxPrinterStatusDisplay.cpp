#include "faximage/viewer/TStandardFaxPrinterStatusDisplay.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TStandardFaxPrinterStatusDisplay::TStandardFaxPrinterStatusDisplay(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("StandardFaxPrinterStatusDisplay"));
    setWindowTitle(QStringLiteral("Print Status"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Fax Information"), this);
    auto* form = new QFormLayout(group);
    fileLabel_ = AddValueRow(form, QStringLiteral("File name:"), QStringLiteral("FileName"));
    pagesLabel_ = AddValueRow(form, QStringLiteral("Total pages:"), QStringLiteral("TotalPages"));
    resolutionLabel_ =
        AddValueRow(form, QStringLiteral("Resolution:"), QStringLiteral("Resolution"));
    widthLabel_ = AddValueRow(form, QStringLiteral("Width:"), QStringLiteral("PageWidth"));
    firstPageLabel_ = AddValueRow(form, QStringLiteral("First page:"), QStringLiteral("FirstPage"));
    lastPageLabel_ = AddValueRow(form, QStringLiteral("Last page:"), QStringLiteral("LastPage"));
    layout->addWidget(group);
    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName(QStringLiteral("StatusLine"));
    layout->addWidget(statusLabel_);
    abortButton_ = new QPushButton(QStringLiteral("Abort"), this);
    abortButton_->setObjectName(QStringLiteral("AbortButton"));
    layout->addWidget(abortButton_, 0, Qt::AlignHCenter);
}

QLabel* TStandardFaxPrinterStatusDisplay::AddValueRow(QFormLayout* form, const QString& caption,
                                                      const QString& name) {
    auto* value = new QLabel(form->parentWidget());
    value->setObjectName(name);
    form->addRow(caption, value);
    return value;
}

void TStandardFaxPrinterStatusDisplay::ShowContents(const Contents& contents) {
    fileLabel_->setText(QFileInfo(contents.fileName).fileName().toUpper());
    pagesLabel_->setText(QString::number(contents.totalPages));
    resolutionLabel_->setText(contents.fine ? QStringLiteral("high") : QStringLiteral("standard"));
    widthLabel_->setText(contents.wide ? QStringLiteral("2048") : QStringLiteral("1728"));
    firstPageLabel_->setText(QString::number(contents.firstPage));
    lastPageLabel_->setText(QString::number(contents.lastPage));
    statusLabel_->setText(contents.statusLine);
}
