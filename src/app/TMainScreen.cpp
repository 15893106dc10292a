#include "app/TMainScreen.h"

#include "ui/HintFilter.h"
#include "ui/KeyboardAccess.h"
#include "app/TFaxFileBuilder.h"
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
#include "dialogs/TFaxViewer.h"
#include "dialogs/TSendFaxForm.h"
#include "common/ErrorText.h"
#include "faxcomm/ComPortHelpers.h"
#include "faxcomm/TQpComPort.h"
#include "faxcomm/TQpReceiveFax.h"
#include "faximage/TQpFaxConverter.h"
#include "faximage/viewer/TQpFaxPrinter.h"
#include "richtext/RichTextTransfer.h"
#include "richtext/TQpRichText.h"
#include "ui/TButtonBar.h"
#include "dialogs/TEditReceiveNotes.h"
#include "ui/THelpBrowser.h"
#include "dialogs/TPhoneBook.h"
#include "dialogs/TPreferences.h"
#include "dialogs/TRebuildInd.h"
#include "dialogs/TTableGrid.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSoundEffect>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableView>
#include <QTime>
#include <QTimer>
#include <QUrl>
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

constexpr int ReceiveBufferSize = 8192;
constexpr int ReceiveFlowStop = 7372;
constexpr int ReceiveFlowResume = 819;
constexpr int MaxStationIdLength = 20;
constexpr int StopWaitMs = 3000;
const QString ReceiveCaption = QStringLiteral("&Receive");
const QString StopCaption = QStringLiteral("STOP");
const QString ReceiveHint = QStringLiteral("Start receiving faxes");
const QString StopHint = QStringLiteral("Stop receiving faxes");

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

// The screen cursor as one setting: the hourglass while a command works, the default
// cursor again when it is restored, however many steps asked for the hourglass.
void ShowHourglass() {
    if (!QApplication::overrideCursor()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
}

void RestoreCursor() {
    while (QApplication::overrideCursor()) {
        QApplication::restoreOverrideCursor();
    }
}

// The hourglass for the length of a command; the default cursor when it ends, however it
// ends.
class WaitCursor {
public:
    WaitCursor() { ShowHourglass(); }
    ~WaitCursor() { RestoreCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QString ErrorMessage(const std::exception& error) {
    return QString::fromLocal8Bit(error.what());
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
    // No event of the receive component may reach a window being torn down.
    if (receiveFax_) {
        receiveFax_->OnFaxAccept = nullptr;
        receiveFax_->OnFaxError = nullptr;
        receiveFax_->OnFaxStatus = nullptr;
        receiveFax_->OnFaxLog = nullptr;
        receiveFax_->OnFaxFinish = nullptr;
        try {
            if (receiving_) {
                receiveFax_->Cancel();
            }
            comPort_->SetOpen(false);
        } catch (const std::exception&) {
        }
        delete receiveFax_;
        delete comPort_;
        receiveFax_ = nullptr;
        comPort_ = nullptr;
    }
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
    BuildHiddenPanel();
    layout->addWidget(hiddenPanel_);
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
    BuildReceiveComponents();

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
    buttonBar_ = bar;

    connect(newButton_, &QPushButton::clicked, this, &TMainScreen::NewbuttonClick);
    connect(editButton_, &QPushButton::clicked, this, &TMainScreen::EditButtonClick);
    connect(cloneButton_, &QPushButton::clicked, this, &TMainScreen::CloneButtonClick);
    connect(deleteButton_, &QPushButton::clicked, this, &TMainScreen::DeleteButtonClick);
    connect(sendButton_, &QPushButton::clicked, this, &TMainScreen::SendButtonClick);
    connect(receiveButton_, &QPushButton::clicked, this, &TMainScreen::ReceiveButtonClick);
    connect(viewFaxButton_, &QPushButton::clicked, this, &TMainScreen::ViewFaxButtonClick);
    connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);
}

void TMainScreen::BuildHiddenPanel() {
    hiddenPanel_ = new QWidget(this);
    hiddenPanel_->setObjectName("HiddenPanel");
    wpCover_ = new TQpRichText(hiddenPanel_);
    wpCover_->setObjectName("WPCover");
    wpDoc_ = new TQpRichText(hiddenPanel_);
    wpDoc_->setObjectName("WPDoc");
    hiddenPanel_->hide();
    faxConverter_ = new TQpFaxConverter(this);
    faxConverter_->setObjectName("QpFaxConverter1");
    builder_ = std::make_unique<TFaxFileBuilder>(*wpCover_, *wpDoc_, *faxConverter_);
    builder_->SetStageReport([this](const QString& text) { ShowStatus(text); });
}

void TMainScreen::SetButtonBarEnabled(bool enabled) {
    buttonBar_->setEnabled(enabled);
}

void TMainScreen::ShowStatus(const QString& text) {
    status_->setText(text);
    status_->repaint();
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
    TTableGrid::SetUp(grid, model);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    grid->horizontalHeader()->setFont(font());
    grid->verticalHeader()->setFont(font());
    // The field widths are known once the table is open: size the columns then.
    SizeColumns(grid, model);
    connect(model, &TTableModel::ColumnWidthsChanged, grid,
            [grid, model] { SizeColumns(grid, model); });

    TTableGrid::FollowCurrentRecord(grid, model);
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

bool TMainScreen::FormCloseQuery() {
    if (faxInProgress_ && !AskYesNo(QStringLiteral("You are receiving a fax. Exit the program?"),
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

// ---- Sending ----------------------------------------------------------------------------------

void TMainScreen::SendButtonClick() {
    TTableAdapter& fax = store_->FaxAdapter();
    if (fax.QueryRecCount() == 0 || !fax.HasCurrentRecord()) {
        QApplication::beep();
        return;
    }
    ShowHourglass();
    ShowStatus(QStringLiteral("Preparing files for viewing..."));
    QCoreApplication::processEvents();
    try {
        const long record = fax.RecNo();
        const QString file = CreateFaxFile();
        if (file.isEmpty()) {
            RestoreCursor();
            InfoBox(QStringLiteral("Error creating fax file"));
        } else {
            const QString result = RunSendWindow(file);
            StoreSendResult(record, result);
        }
    } catch (const std::exception& error) {
        // A build that failed half-way must not leave the button bar off.
        SetButtonBarEnabled(true);
        CancelEdit(fax);
        RestoreCursor();
        InfoBox(ErrorMessage(error));
    }
    RestoreCursor();
    ShowStatus(QString());
    SetButtons();
}

SendFaxSettings TMainScreen::SendSettingsFromSettings() {
    const QpSettings& settings = Settings();
    SendFaxSettings send;
    send.comPort = settings.comPort;
    send.userName = Text(settings.userName);
    send.stationId = Text(settings.userFax);
    send.dialPrefix = Text(settings.dialPrefix);
    send.modemInit = Text(settings.initString);
    send.dialAttempts = QString::number(settings.dialAttempts);
    send.retryWait = QString::number(settings.retryWait);
    send.timeOut = QString::number(settings.dialTimeout);
    send.faxClass = settings.faxClass;
    send.toneOrPulse = settings.toneOrPulse;
    send.blindDial = settings.blindDial;
    send.ignoreBusy = settings.ignoreBusy;
    send.rateIndex = IndexFromBps(settings.maximumBps);
    return send;
}

namespace {

// A number the user typed replaces the setting; a text that is no whole number leaves it.
void TakeNumber(const QString& text, int& setting) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (ok) {
        setting = value;
    }
}

} // namespace

void TMainScreen::TakeSendSettings(const SendFaxSettings& send) {
    QpSettings& settings = Settings();
    if (send.comPort >= 0) {
        settings.comPort = send.comPort;
    }
    settings.userName = send.userName.toStdString();
    settings.userFax = send.stationId.toStdString();
    settings.dialPrefix = send.dialPrefix.toStdString();
    settings.initString = send.modemInit.toStdString();
    TakeNumber(send.dialAttempts, settings.dialAttempts);
    TakeNumber(send.retryWait, settings.retryWait);
    TakeNumber(send.timeOut, settings.dialTimeout);
    settings.faxClass = send.faxClass;
    settings.toneOrPulse = send.toneOrPulse;
    settings.blindDial = send.blindDial;
    settings.ignoreBusy = send.ignoreBusy;
    settings.maximumBps = BpsFromIndex(send.rateIndex);
    try {
        SaveSettings();
    } catch (const std::exception& error) {
        InfoBox(ErrorMessage(error));
    }
}

QString TMainScreen::RunSendWindow(const QString& faxFile) {
    TTableAdapter& fax = store_->FaxAdapter();
    QString result;
    {
        TSendFaxForm form(this);
        CenterForm(&form);
        form.SetFaxFile(faxFile);
        form.setWindowTitle(QStringLiteral("Send Fax: [") +
                            Text(fax.FieldString("RECIPIENT")).trimmed() + QStringLiteral(" - ") +
                            Text(fax.FieldString("SUBJECT")).trimmed() + QStringLiteral("]"));
        form.SetPhoneNumber(Text(fax.FieldString("PHONE")).trimmed());
        form.SetSettings(SendSettingsFromSettings());
        CenterForm(&form);
        ShowStatus(QString());
        QCoreApplication::processEvents();
        RestoreCursor();
        form.exec();
        result = form.ResultText();
        SetButtonBarEnabled(true);
        TakeSendSettings(form.Settings());
    }
    QFile::remove(faxFile);
    return result;
}

void TMainScreen::StoreSendResult(long record, const QString& result) {
    TTableAdapter& fax = store_->FaxAdapter();
    if (record > 0 && fax.RecNo() != record) {
        fax.Go(record);
    }
    fax.Edit();
    fax.SetFieldNumber("PAGES", pageCount_);
    fax.SetFieldString("LASTRESULT", result.toStdString());
    const QString upper = result.toUpper();
    if (upper == QStringLiteral("SENT") || upper == QStringLiteral("OK")) {
        const QDateTime now = QDateTime::currentDateTime();
        fax.SetFieldLogical("SENT", true);
        fax.SetFieldDate("DATESENT", now.date().toString("yyyyMMdd").toStdString());
        fax.SetFieldString("TIMESENT", now.time().toString("hh:mm").toStdString());
    }
    fax.Post();
    RestoreCursor();
}

// ---- Receive mode -----------------------------------------------------------------------------

void TMainScreen::BuildReceiveComponents() {
    comPort_ = new TQpComPort(this);
    comPort_->setObjectName("QpComPort1");
    receiveFax_ = new TQpReceiveFax(this);
    receiveFax_->setObjectName("QpReceiveFax1");
    receiveFax_->SetComPort(comPort_);
    comPort_->SetAutoOpen(false);
    comPort_->SetInSize(ReceiveBufferSize);
    comPort_->SetOutSize(ReceiveBufferSize);
    comPort_->SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
    comPort_->SetBufferFull(ReceiveFlowStop);
    comPort_->SetBufferResume(ReceiveFlowResume);
    comPort_->SetTapiMode(tmNone);
    comPort_->SetTraceName(DataFolder() + "QPXRECV.TRC");
    comPort_->SetLogName(DataFolder() + "QPXRECV.LOG");
    comPort_->SetTracing(tlOn);
    comPort_->SetLogging(tlOn);
    receiveFax_->SetDestinationDir(DataFolder() + "receive");
    receiveFax_->SetFaxFileExt("APF");
    receiveFax_->SetConstantStatus(true);
    receiveFax_->OnFaxAccept = [this](TQpReceiveFax& fax, bool& accept) {
        QpReceiveFax1FaxAccept(fax, accept);
    };
    receiveFax_->OnFaxError = [this](TQpAbstractFax& fax, int code) {
        QpReceiveFax1FaxError(fax, code);
    };
    receiveFax_->OnFaxStatus = [this](TQpAbstractFax& fax, bool first, bool last) {
        QpReceiveFax1FaxStatus(fax, first, last);
    };
    receiveFax_->OnFaxLog = [this](TQpAbstractFax& fax, int code) {
        QpReceiveFax1FaxLog(fax, code);
    };
    receiveFax_->OnFaxFinish = [this](TQpAbstractFax& fax, int code) {
        QpReceiveFax1FaxFinish(fax, code);
    };
    receiveSound_ = new QSoundEffect(this);
}

void TMainScreen::ShowReceiveCaption(bool receiving) {
    receiveButton_->setText(receiving ? StopCaption : ReceiveCaption);
    TButtonBar::SetHint(receiveButton_, receiving ? StopHint : ReceiveHint);
    receiveItem_->setStatusTip(receiving ? StopHint : ReceiveHint);
}

void TMainScreen::ReceiveButtonClick() {
    if (receiving_) {
        StopReceiveMode();
    } else {
        StartReceiveMode();
    }
}

void TMainScreen::ConfigureReceiving() {
    const QpSettings& settings = Settings();
    comPort_->SetComNumber(static_cast<std::uint16_t>(ComponentPortNumber(settings.comPort)));
    receiveFax_->SetFaxClass(static_cast<TFaxClass>(ComponentFaxClass(settings.faxClass)));
    receiveFax_->SetStationID(settings.userFax);
    receiveFax_->SetAnswerOnRing(static_cast<std::uint16_t>(settings.answerOnRing));
    if (!settings.initString.empty()) {
        receiveFax_->SetModemInit(ModemInitCommand(settings.initString));
    }
}

void TMainScreen::StartReceiveMode() {
    ShowHourglass();
    lastFaxError_ = 0;
    receiving_ = true;
    bool started = false;
    try {
        SetButtons();
        QCoreApplication::processEvents();
        ShowStatus(QStringLiteral("Starting receive mode..."));
        ConfigureReceiving();
        QString message;
        if (!OpenComPort(*comPort_, message)) {
            RestoreCursor();
            InfoBox(message);
        } else {
            receiveFax_->StartReceive();
            ShowReceiveCaption(true);
            started = true;
        }
    } catch (const std::exception& error) {
        RestoreCursor();
        InfoBox(ErrorMessage(error));
    }
    if (!started) {
        // A port left open by a start that failed later would lock the modem out.
        try {
            comPort_->SetOpen(false);
        } catch (const std::exception&) {
        }
        RestoreCursor();
        receiving_ = false;
        ShowReceiveCaption(false);
        ShowStatus(QString());
    }
    SetButtons();
    RestoreCursor();
}

void TMainScreen::StopReceiveMode() {
    ShowHourglass();
    lastFaxError_ = 0;
    stoppingReceive_ = true;
    try {
        receiveFax_->Cancel();
        // The component hangs up and ends its session at its next step; the port is
        // closed once it has (or after a while, when the modem does not answer).
        QElapsedTimer clock;
        clock.start();
        while (receiveFax_->InProgress() && clock.elapsed() < StopWaitMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        comPort_->SetOpen(false);
    } catch (const std::exception&) {
        // Receive mode ends whatever the modem or the port says.
    }
    stoppingReceive_ = false;
    receiving_ = false;
    faxInProgress_ = false;
    RestoreCursor();
    ShowReceiveCaption(false);
    ShowStatus(QString());
    SetButtons();
    RestoreCursor();
}

void TMainScreen::QpReceiveFax1FaxAccept(TQpReceiveFax&, bool& accept) {
    faxInProgress_ = true;
    lastFaxError_ = 0;
    accept = true;
}

void TMainScreen::QpReceiveFax1FaxError(TQpAbstractFax&, int errorCode) {
    lastFaxError_ = errorCode;
}

// The component ends its session only when it cannot go on (the modem stopped answering,
// the port failed). Receive mode must not go on showing "STOP" then: it is switched off
// and the user told why.
void TMainScreen::QpReceiveFax1FaxFinish(TQpAbstractFax&, int errorCode) {
    faxInProgress_ = false;
    if (!receiving_ || stoppingReceive_) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, errorCode] {
            if (!receiving_ || stoppingReceive_) {
                return;
            }
            StopReceiveMode();
            InfoBox(QStringLiteral("Receive mode stopped: ") +
                    Text(qp::ErrorTextOr(errorCode, "Unknown error")));
        },
        Qt::QueuedConnection);
}

void TMainScreen::QpReceiveFax1FaxStatus(TQpAbstractFax&, bool first, bool last) {
    UpdateValues();
    if (first) {
        pagesReceived_ = 0;
    }
    if (last) {
        faxInProgress_ = false;
    }
}

void TMainScreen::UpdateValues() {
    const qpfax::FaxProgress progress = receiveFax_->Progress();
    pagesReceived_ = progress.currentPage;
    QString text = Text(qp::StatusText(progress.status).value_or(std::string()));
    const QString remoteId = Text(progress.remoteId).trimmed();
    if (!remoteId.isEmpty()) {
        text += QStringLiteral(" [ from %1 page %2]").arg(remoteId).arg(progress.currentPage);
    }
    ShowStatus(text);
}

void TMainScreen::QpReceiveFax1FaxLog(TQpAbstractFax& fax, int logCode) {
    if (logCode == qpfax::flReceiveFinished) {
        FaxReceived(fax);
    } else if (logCode == qpfax::flReceiveFailed) {
        ReceptionFailed(fax);
    }
}

void TMainScreen::FaxReceived(TQpAbstractFax& fax) {
    faxInProgress_ = false;
    TTableAdapter& rec = store_->RecAdapter();
    try {
        rec.Append();
        rec.SetFieldDate("DATEREC", QDate::currentDate().toString("yyyyMMdd").toStdString());
        rec.SetFieldString("TIMEREC", QTime::currentTime().toString("hh:mm").toStdString());
        rec.SetFieldString("FROM",
                           Text(fax.RemoteID()).trimmed().left(MaxStationIdLength).toStdString());
        rec.SetFieldNumber("PAGES", pagesReceived_);
        rec.SetFieldString("FAXFILE", QFileInfo(Text(fax.FaxFile())).fileName().toStdString());
        rec.Post();
        QCoreApplication::processEvents();
        store_->RecTableCloseAndOpen();
        QCoreApplication::processEvents();
    } catch (const std::exception& error) {
        CancelEdit(rec);
        InfoBox(ErrorMessage(error));
    }
    QMetaObject::invokeMethod(this, &TMainScreen::PlayReceiveSound, Qt::QueuedConnection);
    SetButtons();
}

void TMainScreen::ReceptionFailed(TQpAbstractFax& fax) {
    faxInProgress_ = false;
    const QString reason = lastFaxError_ != 0
                               ? Text(qp::ErrorTextOr(lastFaxError_, "Unknown error"))
                               : QStringLiteral("Unknown error");
    const QString partial = Text(fax.FaxFile());
    InfoBox(QStringLiteral("Failed to receive incoming fax:\r\r") + reason);
    lastFaxError_ = 0;
    if (!partial.isEmpty() && QFile::exists(partial)) {
        QFile::remove(partial);
    }
}

void TMainScreen::PlayReceiveSound() {
    const QString wav = Text(Settings().receiveWav);
    if (wav.isEmpty() || !QFileInfo(wav).isFile()) {
        return;
    }
    receiveSound_->setSource(QUrl::fromLocalFile(wav));
    receiveSound_->play();
}

// ---- Building, viewing ---------------------------------------------------------------------

QString TMainScreen::CreateFaxFile() {
    ShowHourglass();
    SetButtonBarEnabled(false);
    ShowStatus(QStringLiteral("Creating fax file"));
    QCoreApplication::processEvents();
    // Converter and file errors leave the button bar off until the command's own final
    // steps or the next build turn it on again.
    const QString file = builder_->Build(store_->FaxAdapter());
    pageCount_ = builder_->PageCount();
    RestoreCursor();
    SetButtonBarEnabled(true);
    ShowStatus(QString());
    if (file.isEmpty()) {
        InfoBox(QStringLiteral("Fax has no contents or cover sheet"));
    }
    return file;
}

void TMainScreen::mnuViewPrintClick() {
    const bool receivedPage = CurrentPage() == ReceivedPage;
    TTableAdapter& table = receivedPage ? store_->RecAdapter() : store_->FaxAdapter();
    if (table.QueryRecCount() == 0 || !table.HasCurrentRecord()) {
        QApplication::beep();
        return;
    }
    {
        WaitCursor wait;
        try {
            ShowStatus(QStringLiteral("Preparing files for viewing..."));
            QCoreApplication::processEvents();
            QString header;
            const QString file =
                receivedPage ? PrepareReceivedView(header) : PrepareSentView(header);
            if (!file.isEmpty()) {
                ShowStatus(QStringLiteral("Loading viewer..."));
                QCoreApplication::processEvents();
                ShowViewer(file, header);
                if (!receivedPage) {
                    QFile::remove(file);
                }
            }
        } catch (const std::exception& error) {
            // A build that failed half-way must not leave the button bar off.
            SetButtonBarEnabled(true);
            RestoreCursor();
            InfoBox(ErrorMessage(error));
        }
    }
    ShowStatus(QString());
    SetButtons();
}

QString TMainScreen::PrepareReceivedView(QString& header) {
    TTableAdapter& rec = store_->RecAdapter();
    const QString file = ReceivedFaxPath(Text(rec.FieldString("FAXFILE")));
    if (file.isEmpty() || !QFile::exists(file)) {
        RestoreCursor();
        InfoBox(QStringLiteral("Fax file is missing"));
        return {};
    }
    header = Text(rec.FieldString("FROM")).trimmed();
    const QString notes = Text(rec.FieldString("NOTES")).trimmed();
    if (!notes.isEmpty()) {
        header += QStringLiteral(" - ") + notes;
    }
    return file;
}

QString TMainScreen::PrepareSentView(QString& header) {
    const QString file = CreateFaxFile();
    if (file.isEmpty()) {
        RestoreCursor();
        InfoBox(QStringLiteral("Error creating fax file"));
        return {};
    }
    TTableAdapter& fax = store_->FaxAdapter();
    header = Text(fax.FieldString("RECIPIENT")).trimmed() + QStringLiteral(" - ") +
             Text(fax.FieldString("SUBJECT")).trimmed();
    return file;
}

void TMainScreen::ShowViewer(const QString& fileName, const QString& header) {
    RestoreCursor();
    TFaxViewer viewer(this);
    viewer.SetFileName(fileName);
    viewer.FaxPrinter()->FaxHeader().SetCaption(header);
    ShowStatus(QString());
    viewer.exec();
    SetButtonBarEnabled(true);
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
