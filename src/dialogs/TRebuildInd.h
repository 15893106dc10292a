#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class TFaxStore;
class TTableAdapter;

namespace store {
struct TableLayout;
}

// "Rebuild Indexes": removes the records marked for deletion from the four tables and
// recreates their indexes, in the order sent, received, phone book, cover sheets. All
// work is done when the window is first shown; it closes itself afterwards, whatever
// happened.
class TRebuildInd final : public QDialog {
    Q_OBJECT

public:
    explicit TRebuildInd(TFaxStore& store, QWidget* parent = nullptr);

    QLabel* WhatAmIDoing() const { return whatAmIDoing_; }

    // Runs the whole rebuild (also called by the first showing of the window).
    void RebuildAll();

    // The window closes itself when the work is done: Escape does not end it early.
    void reject() override {}

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowProgress(const QString& text);
    void RebuildTable(TTableAdapter& adapter, const store::TableLayout& layout,
                      const QString& removing, const QString& rebuilding);
    static void PackWithRetry(TTableAdapter& adapter);

    TFaxStore& store_;
    QLabel* whatAmIDoing_;
    bool started_ = false;
};
