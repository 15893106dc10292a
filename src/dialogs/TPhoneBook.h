#pragma once

#include "store/TTableAdapter.h"

#include <QDialog>
#include <QString>

#include <memory>

class HintTargetGuard;
class QLabel;
class QPushButton;
class QTableView;
class TTableModel;

// "Phone Book Browser": lists the phone book entries in the order of their NAME index
// and lets the user add, edit and delete them; in choosing mode it also returns the entry
// the user accepts. It owns its own table adapter (PhoneAdapter), opened on the phone
// book file by OpenTable before the window is shown and closed when it is destroyed.
//
// Use: create; if OpenTable() fails free it; SetChoosingMode(true) for the fax editor;
// CenterForm; exec(); on Accepted read ChosenName() and ChosenNumber().
class TPhoneBook final : public QDialog {
    Q_OBJECT

public:
    explicit TPhoneBook(QWidget* parent = nullptr);
    ~TPhoneBook() override;

    // Opens (creating when missing) the phone book table into this window; false when
    // that fails, and the window must not be shown.
    bool OpenTable();

    // Choosing mode: "&Accept" and "Cance&l" shown, "C&lose" hidden. Managing mode (the
    // default): the other way round.
    void SetChoosingMode(bool choosing);

    const QString& ChosenName() const { return chosenName_; }
    const QString& ChosenNumber() const { return chosenNumber_; }

    TTableAdapter& PhoneAdapter() { return phoneAdapter_; }
    QTableView* PhoneGrid() const { return grid_; }
    QLabel* StatusLine() const { return status_; }

    // The commands of the buttons.
    void AddbuttonClick();
    void ModifybuttonClick();
    void DeletebuttonClick();
    void OKButtonClick();
    // Enables Edit, Delete and (when shown) Accept exactly when the table has rows.
    void UpdateButtonStates();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool HasRows();
    void BuildGrid();

    TTableAdapter phoneAdapter_;
    TTableModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* modifyButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QString chosenName_;
    QString chosenNumber_;
    std::unique_ptr<HintTargetGuard> hintGuard_;
};
