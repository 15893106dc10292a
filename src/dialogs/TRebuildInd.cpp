#include "dialogs/TRebuildInd.h"

#include "store/TFaxStore.h"
#include "store/TableLayouts.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>

TRebuildInd::TRebuildInd(TFaxStore& store, QWidget* parent) : QDialog(parent), store_(store) {
    setObjectName("RebuildInd");
    setWindowTitle(QStringLiteral("Rebuild Indexes"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(380, 120);

    auto* layout = new QVBoxLayout(this);
    auto* wait = new QLabel(QStringLiteral("Please wait..."), this);
    QFont bold = wait->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    wait->setFont(bold);
    wait->setAlignment(Qt::AlignCenter);
    whatAmIDoing_ = new QLabel(this);
    whatAmIDoing_->setObjectName("WhatAmIDoing");
    whatAmIDoing_->setAlignment(Qt::AlignCenter);
    whatAmIDoing_->setVisible(false);
    layout->addWidget(wait);
    layout->addWidget(whatAmIDoing_);
}

void TRebuildInd::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_) {
        QTimer::singleShot(0, this, [this] {
            RebuildAll();
            // Close once the window's own start-up has finished.
            QTimer::singleShot(0, this, &QDialog::accept);
        });
    }
}

void TRebuildInd::ShowProgress(const QString& text) {
    if (whatAmIDoing_->text() != text) {
        whatAmIDoing_->setText(text);
        whatAmIDoing_->setVisible(true);
    }
    QCoreApplication::processEvents();
}

void TRebuildInd::PackWithRetry(TTableAdapter& adapter) {
    try {
        adapter.Pack();
    } catch (const std::exception&) {
        try {
            adapter.Pack();
        } catch (const std::exception&) {
            // A second failure is ignored; the indexes are rebuilt all the same.
        }
    }
}

void TRebuildInd::RebuildTable(TTableAdapter& adapter, const store::TableLayout& layout,
                               const QString& removing, const QString& rebuilding) {
    QCoreApplication::processEvents();
    adapter.CloseIndexes();
    QFile::remove(QString::fromStdString(TFaxStore::IndexFilePath(layout)));
    ShowProgress(removing);
    PackWithRetry(adapter);
    ShowProgress(rebuilding);
    adapter.IndexTag(layout.tag, store::NotDeleted, layout.option, false, layout.keyRebuilt);
    adapter.SetOrder(adapter.TagArea(layout.tag));
}

void TRebuildInd::RebuildAll() {
    if (started_) {
        return;
    }
    started_ = true;
    ShowProgress(QStringLiteral("Removing FAX file records marked for deletion"));
    try {
        RebuildTable(store_.FaxAdapter(), store::SentLayout(),
                     QStringLiteral("Removing FAX file records marked for deletion"),
                     QStringLiteral("Rebuilding FAX file indexes"));
        RebuildTable(store_.RecAdapter(), store::ReceivedLayout(),
                     QStringLiteral("Removing Received FAX records marked for deletion"),
                     QStringLiteral("Rebuilding Received FAX indexes"));
        if (TFaxStore::OpenPhoneDBF(store_.PhoneAdapter())) {
            RebuildTable(store_.PhoneAdapter(), store::PhoneLayout(),
                         QStringLiteral("Removing PHONE file records marked for deletion"),
                         QStringLiteral("Rebuilding PHONE file indexes"));
            store_.PhoneAdapter().Close();
        }
        if (!store_.OpenCoverDBF()) {
            return;
        }
        RebuildTable(store_.CoverAdapter(), store::CoverLayout(),
                     QStringLiteral("Removing COVER file records marked for deletion"),
                     QStringLiteral("Rebuilding COVER file indexes"));
        store_.CoverAdapter().Close();
    } catch (const std::exception&) {
        // A failing step ends the rebuild; the window still closes. The phone book and
        // cover sheet tables are open only during their part of the rebuild.
        store_.PhoneAdapter().Close();
        store_.CoverAdapter().Close();
    }
}
