#include "app/TMainScreen.h"

#include "ui/HintFilter.h"
#include "ui/KeyboardAccess.h"
#include "app/TJustOne.h"
#include "ui/WindowUtils.h"
#include "store/TFaxStore.h"
#include "store/TTableEnv.h"
#include "store/TTableModel.h"
#include "common/DataFolder.h"
#include "common/Settings.h"
#include "dialogs/ApplyDefaultFont.h"
#include "dialogs/TAboutBox.h"
#include "dialogs/TCoverBrowse.h"
#include "dialogs/TEnterEdit.h"
#include "dialogs/TFaxEditor.h"
#include "richtext/RichTextTransfer.h"
#include "richtext/TQpRichText.h"
#include "ui/TButtonBar.h"
#include "dialogs/TEditReceiveNotes.h"
#include "ui/THelpBrowser.h"
#include "dialogs/TPhoneBook.h"
#include "dialogs/TPreferences.h"
#include "dialogs/TRebuildInd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>

namespace {

constexpr int StatusHeight = 32;
constexpr int ColumnPadding = 10;
constexpr int ClientWidth = 592;
constexpr int ClientHeight = 383;
constexpr int EngineProperty1009 = 1009;
constexpr const char* SentTag = "DATESENT";
constexpr const char* ReceivedTag = "DATETIME";

const QString DeleteHint = QStringLiteral("Delete the currently selected fax");
const QString ViewHint = QStringLiteral("See a preview of and optionally  print the fax");

QString Text(const std::string& value) {
    return QString::fromStdString(value);
}

std::vector<TTableModel::Column> SentColumns() {
    return {
        {"Sent", "SENT", 3,
         [](const std::string& value) {
             return Text(TFaxStore::FaxTableCalcFields(value == "T"));
         }},
        {"Date Sent", "DATESENT", 0, {}},
        {"Time Sent", "TIMESENT", 0, {}},
        {"Recipient", "RECIPIENT", 20, {}},
        {"Phone", "PHONE", 15, {}},
        {"Pages", "PAGES", 5, {}},
        {"Subject", "SUBJECT", 20, {}},
        {"Last Attempt", "LASTRESULT", 35, {}},
    };
}

std::vector<TTableModel::Column> ReceivedColumns() {
    return {
        {"Date Rec'd", "DATEREC", 0, {}}, {"Time Rec'd", "TIMEREC", 0, {}}, {"From", "FROM", 0, {}},
        {"Pages", "PAGES", 0, {}},        {"Notes", "NOTES", 60, {}},
    };
}

// A received fax's file: a plain file name inside the receive folder, never a path that
// leads elsewhere.
QString ReceivedFaxPath(const QString& faxFile) {
    const QString name = faxFile.trimmed();
    if (name.isEmpty() || name.contains('/') || name.contains('\\') || name == "." ||
        name == "..") {
        return {};
    }
    return Text(DataFolder()) + "receive/" + name;
}

} // namespace

TMainScreen::TMainScreen(bool startMinimized, QWidget* parent)
    : QMainWindow(parent), startMinimized_(startMinimized) {
    setObjectName("MainScreen");
    justOne_ = new TJustOne(this);
    SetMainForm(this);
    FormCreate();
}

TMainScreen::~TMainScreen() {
    // The models observe the tables: let them go before the tables do.
    delete faxGrid_;
    delete recFaxGrid_;
    delete faxModel_;
    delete recModel_;
    faxGrid_ = recFaxGrid_ = nullptr;
    faxModel_ = recModel_ = nullptr;
    store_.reset();
    // The engine is shut down last.
    TTableEnv::Instance().Shutdown();
}

// ---- Creation -------------------------------------------------------------------------

void TMainScreen::FormCreate() {
    firstActivation_ = true;
    TTableEnv& env = TTableEnv::Instance();
    env.SetDeleted(true);
    env.SysProp(EngineProperty1009, 0);
    store_ = std::make_unique<TFaxStore>(env);

    setWindowTitle(QStringLiteral("Quillpost "));
    setFont(QFont(QStringLiteral("Arial"), 8));
    resize(ClientWidth, ClientHeight);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildButtonBar(layout);
    layout->addWidget(BuildBrowsePanel(), 1);

    status_ = new QLabel(central);
    status_->setObjectName("status");
    status_->setFixedHeight(StatusHeight);
    status_->setAlignment(Qt::AlignCenter);
    status_->setAutoFillBackground(true);
    status_->setStyleSheet("QLabel#status { color: blue; background-color: silver; }");
    layout->addWidget(status_);
    setCentralWidget(central);
    BuildMenus();
    noteBook_->setCurrentIndex(SentPage);
    // The focus starts on the list (on the page tabs while the list is empty); the
    // button bar comes last.
    KeyboardAccess::Prepare(this, {faxGrid_, recFaxGrid_, tabSet1_});

    if (!store_->OpenFaxDBF()) {
        InfoBox(QStringLiteral("Unable to open/create the FAX datafile - closing program"));
        PostCloseRequest();
    }
    if (!store_->OpenRecFaxDBF()) {
        InfoBox(QStringLiteral("Unable to open/create the FAX RECEIVE datafile - closing program"));
        PostCloseRequest();
    }
    if (const std::string repairs = store_->RepairNotes(); !repairs.empty()) {
        InfoBox(QStringLiteral("Quillpost repaired its data files:\n\n") +
                QString::fromStdString(repairs).trimmed());
    }

    LoadSettings();
    if (Settings().comPort == -1) {
        showPreferencesOnStart_ = true;
        Settings().comPort = 0;
    }

    HintFilter::Install();
    SetHintTarget(status_);
    faxInProgress_ = false;
    receiving_ = false;

    QDir().mkpath(Text(DataFolder()) + "receive");

    showHintsItem_->setChecked(Settings().hintsOn);
    HintFilter::Instance()->SetHintsOn(Settings().hintsOn);
}

void TMainScreen::BuildButtonBar(QVBoxLayout* layout) {
    auto* bar = new TButtonBar(this);
    newButton_ = bar->AddButton("Newbutton", "&New", "Create a new fax");
    editButton_ = bar->AddButton("EditButton", "&Edit", "Edit the currently selected fax");
    cloneButton_ = bar->AddButton("CloneButton", "&Clone", "Clone the currently selected fax");
    deleteButton_ = bar->AddButton("DeleteButton", "&Delete", "Delete  the currently selected fax");
    sendButton_ = bar->AddButton("SendButton", "&Send", "Send the currently selected fax");
    receiveButton_ = bar->AddButton("ReceiveButton", "&Receive", "Start receiving faxes");
    viewFaxButton_ = bar->AddButton("ViewFaxButton", "&View", ViewHint);
    exitButton_ = bar->AddButton("Exitbutton", "E&xit", "Exit the program");
    bar->AddStretch();
    layout->addWidget(bar);

    connect(newButton_, &QPushButton::clicked, this, &TMainScreen::NewbuttonClick);
    connect(editButton_, &QPushButton::clicked, this, &TMainScreen::EditButtonClick);
    connect(cloneButton_, &QPushButton::clicked, this, &TMainScreen::CloneButtonClick);
    connect(deleteButton_, &QPushButton::clicked, this, &TMainScreen::DeleteButtonClick);
    connect(sendButton_, &QPushButton::clicked, this, &TMainScreen::SendButtonClick);
    connect(receiveButton_, &QPushButton::clicked, this, &TMainScreen::ReceiveButtonClick);
    connect(viewFaxButton_, &QPushButton::clicked, this, &TMainScreen::ViewFaxButtonClick);
    connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);
}

QAction* TMainScreen::AddMenuItem(QMenu* menu, const QString& objectName, const QString& caption,
                                  const QString& hint, void (TMainScreen::*slot)(),
                                  const QKeySequence& shortcut) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(objectName);
    action->setStatusTip(hint);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
    }
    if (slot) {
        connect(action, &QAction::triggered, this, slot);
    }
    return action;
}

void TMainScreen::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName("File1");
    file->setToolTipsVisible(false);
    newItem_ = AddMenuItem(file, "New1", "&New", "Create a new fax", &TMainScreen::NewbuttonClick);
    editItem_ = AddMenuItem(file, "Edit1", "&Edit", "Edit the currently selected fax",
                            &TMainScreen::EditButtonClick);
    cloneItem_ = AddMenuItem(file, "Clone1", "Clone", "Clone the currently selected fax",
                             &TMainScreen::CloneButtonClick);
    deleteItem_ =
        AddMenuItem(file, "Delete1", "Delete", DeleteHint, &TMainScreen::DeleteButtonClick);
    file->addSeparator();
    sendItem_ = AddMenuItem(file, "SendFax1", "Send Fax", "Send the currently selected fax",
                            &TMainScreen::SendButtonClick, QKeySequence("Ctrl+S"));
    receiveItem_ = AddMenuItem(file, "ReceiveFaxes1", "Receive Faxes", "Start receiving faxes",
                               &TMainScreen::ReceiveButtonClick, QKeySequence("Ctrl+R"));
    viewItem_ = AddMenuItem(file, "ViewPrintFax1", "View/Print Fax", ViewHint,
                            &TMainScreen::ViewFaxButtonClick, QKeySequence("Ctrl+V"));
    file->addSeparator();
    AddMenuItem(file, "CoverSheets1", "C&over Sheets", "Create or modify cover page templates",
                &TMainScreen::CoverSheets);
    AddMenuItem(file, "PhoneBook1", "&Phone Book", "Create or modify phone book entries",
                &TMainScreen::PhoneBook);
    rebuildItem_ = AddMenuItem(file, "RebuildIndexes1", "Rebuild &Indexes",
                               "Do this every 2 weeks ", &TMainScreen::RebuildIndexes);
    preferencesItem_ = AddMenuItem(file, "Preferences1", "P&references",
                                   "Set Quillpost preferences", &TMainScreen::Preferences);
    file->addSeparator();
    QAction* exit =
        AddMenuItem(file, "Exit1", "E&xit", "Exit to Windows", nullptr, QKeySequence("Ctrl+X"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName("Help1");
    AddMenuItem(help, "Contents1", "Contents", "Open the Quillpost help file",
                &TMainScreen::HelpContents);
    AddMenuItem(help, "About1", "About", "Information about Quillpost", &TMainScreen::About);
    AddMenuItem(help, "TroubleshootingTips1", "Troubleshooting Tips", QString(),
                &TMainScreen::TroubleshootingTips);
    help->addSeparator();
    showHintsItem_ = AddMenuItem(help, "ShowHints1", "Show Hints", QString(), nullptr);
    showHintsItem_->setCheckable(true);
    showHintsItem_->setChecked(true);
    connect(showHintsItem_, &QAction::triggered, this, &TMainScreen::ShowHintsClick);
}

QTableView* TMainScreen::BuildGrid(const QString& objectName, TTableModel* model) {
    auto* grid = new QTableView;
    grid->setObjectName(objectName);
    // Tab leaves the grid for the page tabs; the arrow keys move between its rows.
    grid->setTabKeyNavigation(false);
    grid->setFont(font());
    grid->setModel(model);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setShowGrid(true);
    grid->setWordWrap(false);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 4);
    grid->verticalHeader()->setFixedWidth(14);
    grid->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    grid->horizontalHeader()->setFont(font());
    grid->verticalHeader()->setFont(font());
    // The field widths are known once the table is open: size the columns then.
    SizeColumns(grid, model);
    connect(model, &TTableModel::ColumnWidthsChanged, grid,
            [grid, model] { SizeColumns(grid, model); });

    // The grid's current row is the table's current record, both ways.
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, model,
            [model](const QModelIndex& current) {
                if (current.isValid()) {
                    model->SelectRow(current.row());
                }
            });
    connect(model, &TTableModel::CurrentRowChanged, grid, [grid, model](int row) {
        if (row >= 0 && row < model->rowCount() &&
            grid->selectionModel()->currentIndex().row() != row) {
            const int column = std::max(0, grid->selectionModel()->currentIndex().column());
            grid->selectionModel()->setCurrentIndex(model->index(row, column),
                                                    QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
        }
    });
    connect(grid, &QTableView::doubleClicked, this, [this] { ViewFaxButtonClick(); });
    return grid;
}

int TMainScreen::ColumnWidth(const QFontMetrics& metrics, int chars, const QString& title) {
    // A character of the display width is as wide as a digit or an average capital,
    // whichever is wider, so that numbers, dates and station IDs (often in capitals) of
    // the field's length show in full; never narrower than the title.
    static const QString capitals = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const int capital = (metrics.horizontalAdvance(capitals) + capitals.size() - 1) /
                        static_cast<int>(capitals.size());
    const int character = std::max(metrics.horizontalAdvance(QLatin1Char('0')), capital);
    return std::max(chars * character, metrics.horizontalAdvance(title)) + ColumnPadding;
}

void TMainScreen::SizeColumns(QTableView* grid, const TTableModel* model) {
    const QFontMetrics metrics(grid->font());
    for (int column = 0; column < model->columnCount(); ++column) {
        grid->setColumnWidth(column,
                             ColumnWidth(metrics, model->ColumnWidthChars(column),
                                         model->headerData(column, Qt::Horizontal).toString()));
    }
}

QWidget* TMainScreen::BuildBrowsePanel() {
    auto* browsePanel = new QWidget(this);
    browsePanel->setObjectName("BrowsePanel");
    auto* layout = new QVBoxLayout(browsePanel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    noteBook_ = new QStackedWidget(browsePanel);
    noteBook_->setObjectName("NoteBook");
    faxModel_ = new TTableModel(store_->FaxAdapter(), SentColumns());
    recModel_ = new TTableModel(store_->RecAdapter(), ReceivedColumns());
    faxGrid_ = BuildGrid("FaxGrid", faxModel_);
    recFaxGrid_ = BuildGrid("RecFaxGrid", recModel_);
    KeyboardAccess::SetName(faxGrid_, QStringLiteral("Sent faxes"));
    KeyboardAccess::SetName(recFaxGrid_, QStringLiteral("Received faxes"));
    noteBook_->addWidget(faxGrid_);
    noteBook_->addWidget(recFaxGrid_);
    layout->addWidget(noteBook_, 1);

    tabSet1_ = new QTabBar(browsePanel);
    tabSet1_->setObjectName("TabSet1");
    tabSet1_->setShape(QTabBar::RoundedSouth);
    tabSet1_->addTab(QStringLiteral("Sent"));
    tabSet1_->addTab(QStringLiteral("Received"));
    tabSet1_->setDrawBase(false);
    tabSet1_->setExpanding(false);
    layout->addWidget(tabSet1_);
    connect(tabSet1_, &QTabBar::currentChanged, this, &TMainScreen::TabSet1Change);
    return browsePanel;
}

void TMainScreen::PostCloseRequest() {
    startFailed_ = true;
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

// ---- Activation and closing -------------------------------------------------------------

void TMainScreen::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (firstActivation_ && !activationScheduled_) {
        activationScheduled_ = true;
        QTimer::singleShot(0, this, &TMainScreen::FormActivate);
    }
}

void TMainScreen::FormActivate() {
    // A close requested during creation (a table could not be opened) has run already.
    if (!firstActivation_ || tablesClosed_ || startFailed_) {
        return;
    }
    if (!placementRestored_) {
        RestorePlacement();
    }
    SetButtons();
    if (startMinimized_) {
        if (!isMinimized()) {
            showMinimized();
        }
    } else {
        show();
        raise();
        activateWindow();
    }
    QCoreApplication::processEvents();
    if (showPreferencesOnStart_) {
        Preferences();
    }
    if (Settings().receiveAtStartup && !receiving_) {
        ReceiveButtonClick();
    }
    firstActivation_ = false;
}

void TMainScreen::RestorePlacement() {
    RestoreFormPlacement(this);
    placementRestored_ = true;
}

void TMainScreen::ShowAtStart() {
    // A window manager takes a window's initial state when it is first mapped, and moving
    // an iconic window afterwards shows it again: place it and set the state before that.
    if (!startFailed_) {
        RestorePlacement();
    }
    if (startMinimized_) {
        setWindowState(windowState() | Qt::WindowMinimized);
    }
    show();
}

void TMainScreen::CloseWithoutAsking() {
    closingWithoutAsking_ = true;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
        close();
        return;
    }
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->reject();
    } else {
        modal->close();
    }
    // The window's own event loop ends first; look again from the main loop.
    constexpr int RetryMs = 100;
    QTimer::singleShot(RetryMs, this, &TMainScreen::CloseWithoutAsking);
}

bool TMainScreen::FormCloseQuery() {
    if (faxInProgress_ && !closingWithoutAsking_ &&
        !AskYesNo(QStringLiteral("You are receiving a fax. Exit the program?"),
                  QStringLiteral("Exit"))) {
        return false;
    }
    QCoreApplication::processEvents();
    store_->FaxAdapter().Close();
    store_->RecAdapter().Close();
    tablesClosed_ = true;
    QCoreApplication::processEvents();
    return true;
}

void TMainScreen::FormClose() {
    if (receiving_) {
        ReceiveButtonClick();
    }
    SetButtons();
    // A start that failed before the placement was restored must not overwrite it.
    if (!placementRestored_) {
        return;
    }
    try {
        SaveFormPlacement(this);
    } catch (const std::exception& error) {
        InfoBox(QString::fromLocal8Bit(error.what()));
    }
}

void TMainScreen::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

// ---- Commands enabling -------------------------------------------------------------------

int TMainScreen::CurrentPage() const {
    return noteBook_->currentIndex();
}

void TMainScreen::SwitchOrder(TTableAdapter& adapter, const char* tag) {
    if (!adapter.Active()) {
        return;
    }
    adapter.DisableControls();
    try {
        if (!adapter.HasCurrentRecord()) {
            if (adapter.IndexOrd() != 0) {
                adapter.SetOrder(0);
            }
        } else if (adapter.IndexOrd() == 0) {
            adapter.SetOrder(adapter.TagArea(tag));
            adapter.First();
        }
    } catch (const std::exception&) {
        // A missing tag leaves the natural order; the list is still complete.
    }
    adapter.EnableControls();
}

void TMainScreen::SetCommand(QPushButton* button, QAction* action, bool enabled) {
    button->setEnabled(enabled);
    if (action) {
        action->setEnabled(enabled);
    }
}

void TMainScreen::SetButtons() {
    TTableAdapter& fax = store_->FaxAdapter();
    TTableAdapter& rec = store_->RecAdapter();
    SwitchOrder(fax, SentTag);
    const bool faxHasRecord = fax.HasCurrentRecord();
    faxGrid_->setEnabled(faxHasRecord);
    SwitchOrder(rec, ReceivedTag);
    const bool recHasRecord = rec.HasCurrentRecord();
    recFaxGrid_->setEnabled(recHasRecord);

    const bool sentPage = CurrentPage() == SentPage;
    SetCommand(newButton_, newItem_, sentPage);
    SetCommand(cloneButton_, cloneItem_, sentPage && faxHasRecord);
    SetCommand(sendButton_, sendItem_, sentPage && !receiving_ && faxHasRecord);
    rebuildItem_->setEnabled(!receiving_);
    preferencesItem_->setEnabled(!receiving_);
    if (sentPage) {
        SetCommand(editButton_, editItem_, faxHasRecord);
        SetCommand(deleteButton_, deleteItem_, faxHasRecord);
        SetCommand(viewFaxButton_, viewItem_, faxHasRecord);
    } else {
        SetCommand(editButton_, editItem_, !receiving_ && recHasRecord);
        SetCommand(deleteButton_, deleteItem_, !receiving_ && recHasRecord);
        SetCommand(viewFaxButton_, viewItem_, recHasRecord);
    }
    SetCommand(receiveButton_, receiveItem_, true);
}

void TMainScreen::TabSet1Change(int tab) {
    noteBook_->setCurrentIndex(tab);
    if (tabSet1_->currentIndex() != tab) {
        tabSet1_->setCurrentIndex(tab);
    }
    SetButtons();
}

// ---- Record commands ---------------------------------------------------------------------

void TMainScreen::NewbuttonClick() {
    TTableAdapter& fax = store_->FaxAdapter();
    try {
        TFaxEditor editor(this);
        editor.SetCoverStore(store_.get());
        if (cloneRequested_ && fax.HasCurrentRecord()) {
            LoadRichText(*editor.WPCover(), "RTFCOVER", fax);
            LoadRichText(*editor.WPDoc(), "RTFDOC", fax);
            editor.Recipient()->setText(Text(fax.FieldString("RECIPIENT")));
            editor.Subject()->setText(QStringLiteral("[clone]") + Text(fax.FieldString("SUBJECT")));
            editor.FaxNumber()->setText(Text(fax.FieldString("PHONE")));
        } else {
            ApplyDefaultFont(*editor.WPCover());
            ApplyDefaultFont(*editor.WPDoc());
        }
        ShowFieldStarts(editor);
        if (editor.exec() == QDialog::Accepted) {
            fax.Append();
            QCoreApplication::processEvents();
            StoreEditedFax(editor);
            QCoreApplication::processEvents();
            store_->FaxTableCloseAndOpen();
            QCoreApplication::processEvents();
        }
    } catch (const std::exception& error) {
        CancelEdit(fax);
        InfoBox(QString::fromStdString(error.what()));
    }
    cloneRequested_ = false;
    SetButtons();
}

void TMainScreen::ShowFieldStarts(TFaxEditor& editor) {
    for (QLineEdit* field :
         {static_cast<QLineEdit*>(editor.Recipient()), static_cast<QLineEdit*>(editor.Subject()),
          static_cast<QLineEdit*>(editor.FaxNumber())}) {
        field->setCursorPosition(0);
    }
}

void TMainScreen::StoreEditedFax(TFaxEditor& editor) {
    TTableAdapter& fax = store_->FaxAdapter();
    SaveRichText(*editor.WPCover(), "RTFCOVER", fax);
    SaveRichText(*editor.WPDoc(), "RTFDOC", fax);
    fax.SetFieldString("RECIPIENT", editor.Recipient()->text().toStdString());
    fax.SetFieldString("SUBJECT", editor.Subject()->text().toStdString());
    fax.SetFieldString("PHONE", editor.FaxNumber()->text().toStdString());
    fax.Post();
}

void TMainScreen::CancelEdit(TTableAdapter& table) {
    try {
        if (table.Active()) {
            table.Cancel();
        }
    } catch (const std::exception&) {
        // The table is reopened by the next command; the error was reported already.
    }
}

void TMainScreen::CloneButtonClick() {
    if (store_->FaxAdapter().QueryRecCount() == 0) {
        QApplication::beep();
        return;
    }
    cloneRequested_ = true;
    NewbuttonClick();
}

void TMainScreen::EditButtonClick() {
    if (CurrentPage() == ReceivedPage) {
        EditReceivedFax();
    } else {
        EditSentFax();
    }
}

void TMainScreen::EditSentFax() {
    TTableAdapter& fax = store_->FaxAdapter();
    if (fax.QueryRecCount() == 0 || !fax.HasCurrentRecord()) {
        QApplication::beep();
        return;
    }
    try {
        TFaxEditor editor(this);
        editor.SetCoverStore(store_.get());
        LoadRichText(*editor.WPCover(), "RTFCOVER", fax);
        LoadRichText(*editor.WPDoc(), "RTFDOC", fax);
        editor.Recipient()->setText(Text(fax.FieldString("RECIPIENT")));
        editor.Subject()->setText(Text(fax.FieldString("SUBJECT")));
        editor.FaxNumber()->setText(Text(fax.FieldString("PHONE")));
        ShowFieldStarts(editor);
        if (editor.exec() == QDialog::Accepted) {
            // SENT, the date and time, the pages and the last result stay as they are.
            fax.Edit();
            StoreEditedFax(editor);
        }
    } catch (const std::exception& error) {
        CancelEdit(fax);
        InfoBox(QString::fromStdString(error.what()));
    }
    SetButtons();
}

void TMainScreen::EditReceivedFax() {
    TTableAdapter& rec = store_->RecAdapter();
    if (!rec.HasCurrentRecord()) {
        QApplication::beep();
        return;
    }
    try {
        const long remembered = rec.RecNo();
        TEditReceiveNotes notes(this);
        CenterForm(&notes);
        notes.Notes()->setText(Text(rec.FieldString("NOTES")));
        notes.Descript()->setText(QStringLiteral("From: ") + Text(rec.FieldString("FROM")));
        if (notes.exec() == QDialog::Accepted) {
            if (remembered > 0) {
                rec.Go(remembered);
            }
            rec.Edit();
            rec.SetFieldString("NOTES", notes.Notes()->text().toStdString());
            rec.Post();
        }
    } catch (const std::exception& error) {
        InfoBox(QString::fromStdString(error.what()));
    }
    SetButtons();
}

void TMainScreen::DeleteButtonClick() {
    const bool receivedPage = CurrentPage() == ReceivedPage;
    TTableAdapter& table = receivedPage ? store_->RecAdapter() : store_->FaxAdapter();
    if (table.QueryRecCount() == 0 || !table.HasCurrentRecord()) {
        QApplication::beep();
        return;
    }
    try {
        const QString what =
            receivedPage
                ? QStringLiteral("(from: \"%1\")").arg(Text(table.FieldString("FROM")))
                : QStringLiteral("(subject: \"%1\")").arg(Text(table.FieldString("SUBJECT")));
        const QString question = QStringLiteral("Delete the current fax?\n") + what;
        if (AskYesNoDefaultNo(question, QStringLiteral("Delete"))) {
            const QString faxFile =
                receivedPage ? ReceivedFaxPath(Text(table.FieldString("FAXFILE"))) : QString();
            table.Delete();
            table.Refresh();
            if (!faxFile.isEmpty()) {
                QFile::remove(faxFile); // a missing file is no concern
            }
        }
    } catch (const std::exception& error) {
        InfoBox(QString::fromStdString(error.what()));
    }
    SetButtons();
}

void TMainScreen::SendButtonClick() {
    // Sending is not part of the program yet.
}

void TMainScreen::ReceiveButtonClick() {
    // Receive mode is not part of the program yet.
}

void TMainScreen::ViewFaxButtonClick() {
    // The fax view window is not part of the program yet.
}

// ---- Other windows ------------------------------------------------------------------------

void TMainScreen::Preferences() {
    TPreferences preferences(showPreferencesOnStart_, this);
    showPreferencesOnStart_ = false;
    preferences.LoadFrom(Settings());
    CenterForm(&preferences);
    if (preferences.exec() != QDialog::Accepted) {
        return;
    }
    preferences.StoreTo(Settings());
    try {
        SaveSettings();
    } catch (const std::exception& error) {
        InfoBox(QString::fromLocal8Bit(error.what()));
    }
}

void TMainScreen::RebuildIndexes() {
    TTableAdapter& cover = store_->CoverAdapter();
    TTableAdapter& fax = store_->FaxAdapter();
    TTableAdapter& rec = store_->RecAdapter();
    cover.DisableControls();
    fax.DisableControls();
    rec.DisableControls();
    {
        TRebuildInd rebuild(*store_, this);
        CenterForm(&rebuild);
        rebuild.exec();
    }
    cover.EnableControls();
    fax.EnableControls();
    rec.EnableControls();
    SetButtons();
}

void TMainScreen::CoverSheets() {
    if (!store_->OpenCoverDBF()) {
        return;
    }
    try {
        TCoverBrowse browser(store_->CoverAdapter(), this);
        browser.SetChoosingMode(false);
        CenterForm(&browser);
        browser.exec();
    } catch (const std::exception& error) {
        InfoBox(QString::fromStdString(error.what()));
    }
    store_->CoverAdapter().Close();
}

void TMainScreen::PhoneBook() {
    TPhoneBook phoneBook(this);
    if (!phoneBook.OpenTable()) {
        return;
    }
    CenterForm(&phoneBook);
    phoneBook.exec();
}

void TMainScreen::HelpContents() {
    THelpBrowser::ShowTopic(THelpBrowser::hcContents);
}

void TMainScreen::TroubleshootingTips() {
    THelpBrowser::ShowTopic(THelpBrowser::hcTroubleshooting);
}

void TMainScreen::About() {
    TAboutBox about(this);
    CenterForm(&about);
    about.exec();
}

void TMainScreen::ShowHintsClick() {
    const bool on = showHintsItem_->isChecked();
    Settings().hintsOn = on;
    try {
        SaveSettings();
    } catch (const std::exception& error) {
        InfoBox(QString::fromLocal8Bit(error.what()));
    }
    HintFilter::Instance()->SetHintsOn(on);
    status_->clear();
}
