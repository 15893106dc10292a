#include "dialogs/TPhoneBook.h"

#include "ui/KeyboardAccess.h"
#include "ui/WindowUtils.h"
#include "store/TFaxStore.h"
#include "store/TTableEnv.h"
#include "dialogs/TTableGrid.h"
#include "store/TTableModel.h"
#include "ui/TButtonBar.h"
#include "ui/THelpBrowser.h"
#include "dialogs/TPhoneBookEditor.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

std::vector<TTableModel::Column> PhoneColumns() {
    return {
        {"Name", "NAME", 50, {}},
        {"Fax #", "PHONE", 0, {}},
    };
}

} // namespace

TPhoneBook::TPhoneBook(QWidget* parent) : QDialog(parent), phoneAdapter_(TTableEnv::Instance()) {
    setObjectName("TPhoneBook");
    setWindowTitle(QStringLiteral("Phone Book Browser"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(592, 403);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* bar = new TButtonBar(this);
    addButton_ = bar->AddButton("Addbutton", "&New", "Create a new phone book entry");
    modifyButton_ =
        bar->AddButton("Modifybutton", "&Edit", "Edit the currently selected phone book entry");
    deleteButton_ =
        bar->AddButton("Deletebutton", "&Delete", "Delete the currently selected phone book entry");
    QPushButton* help =
        bar->AddButton("Helpbutton", "&Help", "Get Windows help for Phonebook Browser");
    okButton_ = bar->AddButton("OKButton", "&Accept", "Use this phone book entry");
    cancelButton_ = bar->AddButton("Cancelbutton", "Cance&l",
                                   "Cancel - do not use any of these phone book entries");
    closeButton_ = bar->AddButton("Closebutton", "C&lose", "Close the Phone Book Browser");
    bar->AddStretch();
    layout->addWidget(bar);

    grid_ = new QTableView(this);
    grid_->setObjectName("PhoneGrid");
    // Tab leaves the grid for the buttons; the arrow keys move between its rows.
    grid_->setTabKeyNavigation(false);
    KeyboardAccess::SetName(grid_, QStringLiteral("Phone book entries"));
    layout->addWidget(grid_, 1);

    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setFixedHeight(41);
    status_->setAlignment(Qt::AlignCenter);
    status_->setAutoFillBackground(true);
    status_->setStyleSheet("QLabel#status { color: blue; background-color: silver; }");
    layout->addWidget(status_);
    hintGuard_ = std::make_unique<HintTargetGuard>(this, status_);

    connect(addButton_, &QPushButton::clicked, this, &TPhoneBook::AddbuttonClick);
    connect(modifyButton_, &QPushButton::clicked, this, &TPhoneBook::ModifybuttonClick);
    connect(deleteButton_, &QPushButton::clicked, this, &TPhoneBook::DeletebuttonClick);
    connect(okButton_, &QPushButton::clicked, this, &TPhoneBook::OKButtonClick);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this,
            [this] { THelpBrowser::ShowTopic(THelpBrowser::hcPhoneBrowser, this); });
    SetChoosingMode(false);
    KeyboardAccess::Prepare(this, {grid_});
}

TPhoneBook::~TPhoneBook() {
    grid_->setModel(nullptr);
    delete model_;
    model_ = nullptr;
    if (phoneAdapter_.Active()) {
        phoneAdapter_.Close();
    }
}

bool TPhoneBook::OpenTable() {
    if (!TFaxStore::OpenPhoneDBF(phoneAdapter_)) {
        return false;
    }
    BuildGrid();
    UpdateButtonStates();
    return true;
}

void TPhoneBook::BuildGrid() {
    model_ = new TTableModel(phoneAdapter_, PhoneColumns(), this);
    TTableGrid::SetUp(grid_, model_);
    grid_->horizontalHeader()->setStretchLastSection(true);
    const int charWidth = grid_->fontMetrics().averageCharWidth();
    grid_->setColumnWidth(0, model_->ColumnWidthChars(0) * charWidth + 8);

    TTableGrid::FollowCurrentRecord(grid_, model_);
    TTableGrid::SelectCurrentRecord(grid_, model_);
}

void TPhoneBook::SetChoosingMode(bool choosing) {
    closeButton_->setHidden(choosing);
    okButton_->setHidden(!choosing);
    cancelButton_->setHidden(!choosing);
    UpdateButtonStates();
}

bool TPhoneBook::HasRows() {
    return phoneAdapter_.Active() && phoneAdapter_.QueryRecCount() != 0;
}

void TPhoneBook::UpdateButtonStates() {
    QCoreApplication::processEvents();
    const bool rows = HasRows();
    modifyButton_->setEnabled(rows);
    deleteButton_->setEnabled(rows);
    if (!okButton_->isHidden()) {
        okButton_->setEnabled(rows);
    }
}

void TPhoneBook::AddbuttonClick() {
    TPhoneBookEditor editor(this);
    CenterForm(&editor);
    if (editor.exec() == QDialog::Accepted) {
        phoneAdapter_.Append();
        phoneAdapter_.SetFieldString("NAME", editor.Name()->text().toStdString());
        phoneAdapter_.SetFieldString("PHONE", editor.Number()->text().toStdString());
        phoneAdapter_.Post();
    }
    UpdateButtonStates();
}

void TPhoneBook::ModifybuttonClick() {
    if (!HasRows() || !phoneAdapter_.HasCurrentRecord()) {
        QApplication::beep();
        return;
    }
    TPhoneBookEditor editor(this);
    editor.Name()->setText(QString::fromStdString(phoneAdapter_.FieldString("NAME")));
    editor.Number()->setText(QString::fromStdString(phoneAdapter_.FieldString("PHONE")));
    CenterForm(&editor);
    if (editor.exec() == QDialog::Accepted) {
        phoneAdapter_.Edit();
        phoneAdapter_.SetFieldString("NAME", editor.Name()->text().toStdString());
        phoneAdapter_.SetFieldString("PHONE", editor.Number()->text().toStdString());
        phoneAdapter_.Post();
    }
}

void TPhoneBook::DeletebuttonClick() {
    if (!HasRows() || !phoneAdapter_.HasCurrentRecord()) {
        QApplication::beep();
        return;
    }
    const QString name = QString::fromStdString(phoneAdapter_.FieldString("NAME"));
    if (AskYesNoDefaultNo(QStringLiteral("Delete the current phone book entry?:\r") + name,
                          QStringLiteral("Delete"))) {
        phoneAdapter_.Delete();
    }
    phoneAdapter_.Refresh();
    QCoreApplication::processEvents();
    UpdateButtonStates();
}

void TPhoneBook::OKButtonClick() {
    if (phoneAdapter_.HasCurrentRecord()) {
        chosenName_ = QString::fromStdString(phoneAdapter_.FieldString("NAME"));
        chosenNumber_ = QString::fromStdString(phoneAdapter_.FieldString("PHONE"));
    }
    accept();
}

void TPhoneBook::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    UpdateButtonStates();
}

void TPhoneBook::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        UpdateButtonStates();
    }
}
