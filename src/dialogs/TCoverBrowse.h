#pragma once

#include <QDialog>

#include <memory>

class HintTargetGuard;
class QLabel;
class QPushButton;
class QTableView;
class TCoverEditor;
class TTableAdapter;
class TTableModel;

// "Cover Sheet Template Browser": lists the cover sheet templates in the order of their
// DESCRIPT index and lets the user create, edit, clone and delete them; in choosing mode
// it also returns the template the user accepts as the table's current row. It has no
// table of its own: the caller opens the cover template table, hands its adapter over,
// and closes it after the browser is gone.
class TCoverBrowse final : public QDialog {
    Q_OBJECT

public:
    explicit TCoverBrowse(TTableAdapter& coverTable, QWidget* parent = nullptr);
    ~TCoverBrowse() override;

    // Choosing mode (fax editor): "&Accept" and "Cance&l" shown, "C&lose" hidden.
    // Managing mode (main window, the default): the other way round.
    void SetChoosingMode(bool choosing);

    QTableView* CoverGrid() const { return grid_; }
    QLabel* StatusLine() const { return status_; }
    bool CloneFlag() const { return cloneFlag_; }

    // The commands of the buttons.
    void NewButtonClick();
    void ModifyButtonClick();
    void CloneButtonClick();
    void DeleteButtonClick();
    void AcceptbuttonClick();

private:
    bool HasRows();
    void BuildGrid();
    void StoreTemplate(TCoverEditor& editor);

    TTableAdapter& table_;
    TTableModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* acceptButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    bool cloneFlag_ = false;
    std::unique_ptr<HintTargetGuard> hintGuard_;
};
