#include "dialogs/TCoverBrowse.h"

#include "dialogs/ApplyDefaultFont.h"
#include "dialogs/TCoverEditor.h"
#include "richtext/RichTextTransfer.h"
#include "store/TTableAdapter.h"
#include "dialogs/TTableGrid.h"
#include "store/TTableModel.h"
#include "ui/KeyboardAccess.h"
#include "ui/TButtonBar.h"
#include "ui/THelpBrowser.h"
#include "ui/WindowUtils.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <exception>

namespace {

const char* const DescriptField = "DESCRIPT";
const char* const CoverField = "COVER";

QString Text(const std::string& value) {
    return QString::fromStdString(value);
}

} // namespace

TCoverBrowse::TCoverBrowse(TTableAdapter& coverTable, QWidget* parent)
    : QDialog(parent), table_(coverTable) {
    setObjectName("TCoverBrowse");
    setWindowTitle(QStringLiteral("Cover Sheet Template Browser"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(587, 403);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* bar = new TButtonBar(this);
    QPushButton* newButton = bar->AddButton("NewButton", "&New", "Create a new fax cover template");
    QPushButton* modify =
        bar->AddButton("ModifyButton", "&Edit", "Edit the currently selected fax cover template");
    QPushButton* clone =
        bar->AddButton("CloneButton", "&Clone", "Clone the currently selected fax cover template");
    QPushButton* remove = bar->AddButton("DeleteButton", "&Delete",
                                         "Delete  the currently selected fax cover template");
    QPushButton* help =
        bar->AddButton("HelpButton", "&Help", "Get Windows help for Cover Sheet Template Browser");
    acceptButton_ = bar->AddButton("Acceptbutton", "&Accept", "Use this cover sheet template");
    cancelButton_ =
        bar->AddButton("CancelButton", "Cance&l", "Cancel - do not use any of these templates");
    closeButton_ =
        bar->AddButton("CloseButton", "C&lose", "Close the Cover Sheet Template Browser");
    bar->AddStretch();
    for (QPushButton* button : bar->findChildren<QPushButton*>()) {
        button->setAccessibleDescription(button->statusTip());
    }
    layout->addWidget(bar);

    grid_ = new QTableView(this);
    grid_->setObjectName("CoverGrid");
    grid_->setTabKeyNavigation(false); // Tab leaves the grid; the arrows move between rows
    KeyboardAccess::SetName(grid_, QStringLiteral("Cover sheet templates"));
    layout->addWidget(grid_, 1);

    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setFixedHeight(32);
    status_->setAlignment(Qt::AlignCenter);
    status_->setAutoFillBackground(true);
    status_->setStyleSheet("QLabel#status { color: blue; background-color: silver; }");
    layout->addWidget(status_);
    hintGuard_ = std::make_unique<HintTargetGuard>(this, status_);

    connect(newButton, &QPushButton::clicked, this, &TCoverBrowse::NewButtonClick);
    connect(modify, &QPushButton::clicked, this, &TCoverBrowse::ModifyButtonClick);
    connect(clone, &QPushButton::clicked, this, &TCoverBrowse::CloneButtonClick);
    connect(remove, &QPushButton::clicked, this, &TCoverBrowse::DeleteButtonClick);
    connect(help, &QPushButton::clicked, this,
            [this] { THelpBrowser::ShowTopic(THelpBrowser::hcCoverBrowser, this); });
    connect(acceptButton_, &QPushButton::clicked, this, &TCoverBrowse::AcceptbuttonClick);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::reject);

    BuildGrid();
    SetChoosingMode(false);
    KeyboardAccess::Prepare(this, {grid_});
}

TCoverBrowse::~TCoverBrowse() {
    // The model observes the caller's table, which outlives the browser.
    grid_->setModel(nullptr);
    delete model_;
    model_ = nullptr;
}

void TCoverBrowse::BuildGrid() {
    model_ = new TTableModel(table_, {{"Description", DescriptField, 0, {}}}, this);
    TTableGrid::SetUp(grid_, model_);
    grid_->horizontalHeader()->setStretchLastSection(true);

    TTableGrid::FollowCurrentRecord(grid_, model_);
    TTableGrid::SelectCurrentRecord(grid_, model_);
}

void TCoverBrowse::SetChoosingMode(bool choosing) {
    closeButton_->setHidden(choosing);
    acceptButton_->setHidden(!choosing);
    cancelButton_->setHidden(!choosing);
}

bool TCoverBrowse::HasRows() {
    return table_.Active() && table_.QueryRecCount() != 0 && table_.HasCurrentRecord();
}

void TCoverBrowse::StoreTemplate(TCoverEditor& editor) {
    // The column holds 35 characters: a longer description is cut, the editor said so.
    const QString description =
        editor.CoverDescription()->text().left(TCoverEditor::DescriptionWidth);
    table_.SetFieldString(DescriptField, description.toStdString());
    SaveRichText(*editor.WPCover(), CoverField, table_);
    table_.Post();
}

void TCoverBrowse::NewButtonClick() {
    TCoverEditor editor(this);
    if (cloneFlag_) {
        cloneFlag_ = false;
        editor.CoverDescription()->setText(QStringLiteral("[clone]") +
                                           Text(table_.FieldString(DescriptField)));
        LoadRichText(*editor.WPCover(), CoverField, table_);
    } else {
        editor.CoverDescription()->setText(QStringLiteral("{description}"));
        ApplyDefaultFont(*editor.WPCover());
    }
    editor.CoverDescription()->setCursorPosition(0);
    if (editor.exec() == QDialog::Accepted) {
        try {
            table_.Append();
            StoreTemplate(editor);
        } catch (const std::exception& error) {
            table_.Cancel();
            InfoBox(QString::fromStdString(error.what()));
        }
    }
}

void TCoverBrowse::ModifyButtonClick() {
    if (!HasRows()) {
        QApplication::beep();
        return;
    }
    TCoverEditor editor(this);
    editor.CoverDescription()->setText(Text(table_.FieldString(DescriptField)));
    editor.CoverDescription()->setCursorPosition(0);
    LoadRichText(*editor.WPCover(), CoverField, table_);
    if (editor.exec() == QDialog::Accepted) {
        try {
            table_.Edit();
            StoreTemplate(editor);
        } catch (const std::exception& error) {
            table_.Cancel();
            InfoBox(QString::fromStdString(error.what()));
        }
    }
}

void TCoverBrowse::CloneButtonClick() {
    if (!HasRows()) {
        QApplication::beep();
        return;
    }
    cloneFlag_ = true;
    NewButtonClick();
}

void TCoverBrowse::DeleteButtonClick() {
    if (!HasRows()) {
        QApplication::beep();
        return;
    }
    const QString description = Text(table_.FieldString(DescriptField));
    if (AskYesNoDefaultNo(QStringLiteral("Delete the current cover template?:\r") + description,
                          QStringLiteral("Delete"))) {
        table_.Delete();
    }
    table_.Refresh();
}

void TCoverBrowse::AcceptbuttonClick() {
    // With no template to use there is nothing to accept.
    if (!HasRows()) {
        QApplication::beep();
        return;
    }
    accept();
}
