#pragma once

#include <QDialog>
#include <QString>

#include <memory>

class HintTargetGuard;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class TEditorAids;
class TQpRichText;
class TQpRichToolBar;
class TZoomButton;

// "Cover Sheet Template Editor": the description and the rich text of one cover sheet
// template, with a menu that inserts the five insert points ("[RECIPIENT]" ... "[TIME]")
// and the same editing aids as the fax editor. The browser creates it, fills it, shows it
// modally and stores description and text when it ends with OK. Insert points show
// their names here; nothing is merged.
class TCoverEditor final : public QDialog {
    Q_OBJECT

public:
    explicit TCoverEditor(QWidget* parent = nullptr);
    ~TCoverEditor() override;

    QLineEdit* CoverDescription() const { return description_; }
    TQpRichText* WPCover() const { return cover_; }
    TQpRichToolBar* WPToolCover() const { return toolBar_; }
    TEditorAids* Aids() const { return aids_; }
    TZoomButton* ZoomButton() const { return zoom_; }
    QMenu* InsertMenu() const { return insertMenu_; }
    QLabel* StatusLine() const { return status_; }

    // Inserts, at the caret, the insert point named by a menu caption ("Recipient",
    // "Fax Number", "Subject", "Date", "Time", compared in upper case); false for any
    // other caption.
    bool InsertField(const QString& caption);

    // Width of the DESCRIPT column: longer descriptions are cut to it when stored.
    static constexpr int DescriptionWidth = 35;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* BuildTopBar();
    void ShowDescriptionLength();

    QLineEdit* description_ = nullptr;
    TQpRichText* cover_ = nullptr;
    TQpRichToolBar* toolBar_ = nullptr;
    TEditorAids* aids_ = nullptr;
    TZoomButton* zoom_ = nullptr;
    QMenu* insertMenu_ = nullptr;
    QLabel* status_ = nullptr;
    bool firstShow_ = true;
    bool placementSaved_ = false;
    std::unique_ptr<HintTargetGuard> hintGuard_;
};
