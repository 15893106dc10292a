#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The "Print Status" form of the fax printer's status display: what is printed and how
// far the job is, with an "Abort" button.
class TStandardFaxPrinterStatusDisplay final : public QDialog {
    Q_OBJECT
public:
    explicit TStandardFaxPrinterStatusDisplay(QWidget* parent = nullptr);

    struct Contents {
        QString fileName; // shown without folder, upper case
        int totalPages = 0;
        bool fine = false;
        bool wide = false;
        int firstPage = 0;
        int lastPage = 0;
        QString statusLine;
    };
    void ShowContents(const Contents& contents);

    QPushButton* AbortButton() const { return abortButton_; }
    QLabel* StatusLabel() const { return statusLabel_; }

private:
    QLabel* AddValueRow(class QFormLayout* form, const QString& caption, const QString& name);

    QLabel* fileLabel_ = nullptr;
    QLabel* pagesLabel_ = nullptr;
    QLabel* resolutionLabel_ = nullptr;
    QLabel* widthLabel_ = nullptr;
    QLabel* firstPageLabel_ = nullptr;
    QLabel* lastPageLabel_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QPushButton* abortButton_ = nullptr;
};
