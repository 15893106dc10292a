#pragma once

#include <QDate>
#include <QDialog>
#include <QList>
#include <QString>
#include <QTime>

#include <memory>
#include <optional>

class HintTargetGuard;
class QLabel;
class QPushButton;
class QStackedWidget;
class QToolButton;
class TEditorAids;
class TEnterEdit;
class TFaxStore;
class TQpRichText;
class TQpRichToolBar;
class TTableAdapter;
class TZoomButton;

// The fax editor: who a fax goes to, the fax number, the subject, and the cover sheet
// and document as rich text, on a three-page notebook chosen with the page buttons of the
// top bar. It never touches the fax table: the caller fills Recipient, FaxNumber,
// Subject, WPCover and WPDoc, shows it modally and, on OK, reads them back.
//
// Editing aids: phone book lookup, cover sheet from a template with the recipient's data
// merged into its insert points, page breaks, paragraph properties, word wrap, zoom and
// spell checking.
class TFaxEditor final : public QDialog {
    Q_OBJECT

public:
    enum Page { pgRecipient = 0, pgCover = 1, pgDocument = 2 };

    // Limits of the single-line fields: the widths of their fax table columns.
    static constexpr int RecipientLimit = 35;
    static constexpr int FaxNumberLimit = 25;
    static constexpr int SubjectLimit = 50;
    // Longest text handed to an insert point.
    static constexpr int InsertTextLimit = 100;

    explicit TFaxEditor(QWidget* parent = nullptr);
    ~TFaxEditor() override;

    // The fax store whose cover template table "Load Cover Sheet from Template" opens;
    // without one the editor opens the table through a store of its own.
    void SetCoverStore(TFaxStore* store) { coverStore_ = store; }

    TEnterEdit* Recipient() const { return recipient_; }
    TEnterEdit* FaxNumber() const { return faxNumber_; }
    TEnterEdit* Subject() const { return subject_; }
    TQpRichText* WPCover() const { return cover_; }
    TQpRichText* WPDoc() const { return doc_; }
    TQpRichToolBar* WPToolCover() const { return coverTool_; }
    TQpRichToolBar* WPToolDoc() const { return docTool_; }
    TEditorAids* CoverAids() const { return coverAids_; }
    TEditorAids* DocAids() const { return docAids_; }
    TZoomButton* ZoomButton() const { return zoom_; }
    QStackedWidget* Notebook() const { return notebook_; }
    QLabel* StatusLine() const { return status_; }

    // The commands of the buttons.
    void ShowRecipientPage();
    void ShowCoverPage();
    void ShowDocumentPage();
    void AddressButtonClick();
    void LoadCoverButtonClick();

    // The text of an insert point by its tag (1 recipient, 2 fax number, 3 subject,
    // 4 today's date, 5 the time now), at most 100 characters; nothing for other tags.
    std::optional<QString> GetTextToInsert(int tag);

    // Today's date in the short date format and a time in the long time format of the
    // user's locale (without a time zone).
    static QString ShortDateText(const QDate& date);
    static QString LongTimeText(const QTime& time);

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* BuildTopBar();
    QWidget* BuildRecipientPage();
    QWidget* BuildRichPage(bool cover);
    QList<QWidget*> TabOrder() const;
    void LoadCoverFrom(TTableAdapter& coverTable);
    TQpRichText* ZoomedEditor() const;
    void ApplyPageLayout();

    TEnterEdit* recipient_ = nullptr;
    TEnterEdit* faxNumber_ = nullptr;
    TEnterEdit* subject_ = nullptr;
    QPushButton* addressButton_ = nullptr;
    TQpRichText* cover_ = nullptr;
    TQpRichText* doc_ = nullptr;
    TQpRichToolBar* coverTool_ = nullptr;
    TQpRichToolBar* docTool_ = nullptr;
    TEditorAids* coverAids_ = nullptr;
    TEditorAids* docAids_ = nullptr;
    QToolButton* loadCoverButton_ = nullptr;
    QStackedWidget* notebook_ = nullptr;
    QPushButton* recipientButton_ = nullptr;
    QPushButton* documentButton_ = nullptr;
    QPushButton* coverButton_ = nullptr;
    TZoomButton* zoom_ = nullptr;
    QLabel* status_ = nullptr;
    TFaxStore* coverStore_ = nullptr;
    QString insertBuffer_; // the last insert point text handed out
    bool firstShow_ = true;
    bool placementSaved_ = false;
    std::unique_ptr<HintTargetGuard> hintGuard_;
};
