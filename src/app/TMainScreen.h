#pragma once

#include <QMainWindow>

#include <memory>

class QAction;
class QFontMetrics;
class QLabel;
class QPushButton;
class QSoundEffect;
class QStackedWidget;
class QTabBar;
class QTableView;
class TFaxEditor;
struct SendFaxSettings;
class TFaxFileBuilder;
class TFaxStore;
class TJustOne;
class TQpAbstractFax;
class TQpComPort;
class TQpReceiveFax;
class TQpFaxConverter;
class TQpRichText;
class TTableAdapter;
class TTableModel;

// The main window: button bar, the Sent and Received lists on a two-page notebook with
// its tab strip, and the status line that shows hints. It owns the fax store (the four
// tables) for the whole run, enables its commands by the state of the tables, the page
// and receive mode (SetButtons), and runs the record commands.
class TMainScreen : public QMainWindow {
    Q_OBJECT

public:
    enum Page { SentPage = 0, ReceivedPage = 1 };

    // `startMinimized` is the start-up show state (the --minimized option).
    explicit TMainScreen(bool startMinimized = false, QWidget* parent = nullptr);
    ~TMainScreen() override;

    // Shows the window for the first time: the saved placement and the start-up state
    // (minimised or not) are applied before it is first mapped.
    void ShowAtStart();

    QLabel* StatusLine() const { return status_; }
    TJustOne* JustOne() const { return justOne_; }
    TFaxStore& Store() { return *store_; }
    TTableModel* FaxModel() const { return faxModel_; }
    TTableModel* RecModel() const { return recModel_; }

    // Window state beside the components.
    bool CloneRequested() const { return cloneRequested_; }
    bool Receiving() const { return receiving_; }
    // Receive mode is switched by the receive command; tests set the flag directly.
    void SetReceiving(bool on) { receiving_ = on; }
    int PagesReceived() const { return pagesReceived_; }
    int LastFaxError() const { return lastFaxError_; }
    TQpComPort* QpComPort1() const { return comPort_; }
    TQpReceiveFax* QpReceiveFax1() const { return receiveFax_; }
    // Plays the receive sound; the last file handed to it stays its source.
    QSoundEffect* ReceiveSound() const { return receiveSound_; }
    // Shows the receive component's progress in the status line.
    void UpdateValues();
    bool FaxInProgress() const { return faxInProgress_; }
    void SetFaxInProgress(bool on) { faxInProgress_ = on; }
    bool FirstActivation() const { return firstActivation_; }
    bool ShowPreferencesOnStart() const { return showPreferencesOnStart_; }
    int CurrentPage() const;

    // Width of a grid column showing `chars` characters under `title`.
    static int ColumnWidth(const QFontMetrics& metrics, int chars, const QString& title);

    // Enables the commands by the tables, the page and receive mode; switches a table
    // to natural order while it has no current record and to its date tag once it has.
    void SetButtons();

    // Commands of the button bar and the menu.
    void NewbuttonClick();
    void EditButtonClick();
    void EditSentFax();
    void EditReceivedFax();
    void CloneButtonClick();
    void DeleteButtonClick();
    void SendButtonClick();
    void ReceiveButtonClick();
    void ViewFaxButtonClick() { mnuViewPrintClick(); }
    void mnuViewPrintClick();
    void Preferences();
    void RebuildIndexes();
    void CoverSheets();
    void PhoneBook();
    void HelpContents();
    void TroubleshootingTips();
    void About();
    void ShowHintsClick();
    void TabSet1Change(int tab);

    // Builds the fax file of the current sent fax (cover sheet pages first) and returns
    // its full path; an empty text when there is nothing to send (after telling the
    // user). Converter and file errors are raised.
    QString CreateFaxFile();
    // Page files of the last build.
    int PageCount() const { return pageCount_; }
    // The two editors that lay faxes out; never shown.
    TQpRichText* WPCover() const { return wpCover_; }
    TQpRichText* WPDoc() const { return wpDoc_; }
    TQpFaxConverter* QpFaxConverter1() const { return faxConverter_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildButtonBar(class QVBoxLayout* layout);
    void BuildMenus();
    void BuildHiddenPanel();
    void BuildReceiveComponents();
    // Send: the send window on the built file, and the outcome written to the record.
    static SendFaxSettings SendSettingsFromSettings();
    static void TakeSendSettings(const SendFaxSettings& send);
    QString RunSendWindow(const QString& faxFile);
    void StoreSendResult(long record, const QString& result);
    void StartReceiveMode();
    void StopReceiveMode();
    void ShowReceiveCaption(bool receiving);
    void ConfigureReceiving();
    void QpReceiveFax1FaxAccept(TQpReceiveFax& fax, bool& accept);
    void QpReceiveFax1FaxError(TQpAbstractFax& fax, int errorCode);
    void QpReceiveFax1FaxStatus(TQpAbstractFax& fax, bool first, bool last);
    void QpReceiveFax1FaxLog(TQpAbstractFax& fax, int logCode);
    void QpReceiveFax1FaxFinish(TQpAbstractFax& fax, int errorCode);
    void FaxReceived(TQpAbstractFax& fax);
    void ReceptionFailed(TQpAbstractFax& fax);
    void PlayReceiveSound();
    void SetButtonBarEnabled(bool enabled);
    void ShowStatus(const QString& text);
    // The View command's file: the received fax's own file, or a freshly built one.
    QString PrepareReceivedView(QString& header);
    QString PrepareSentView(QString& header);
    void ShowViewer(const QString& fileName, const QString& header);
    QWidget* BuildBrowsePanel();
    QTableView* BuildGrid(const QString& objectName, TTableModel* model);
    static void SizeColumns(QTableView* grid, const TTableModel* model);
    void FormCreate();
    void FormActivate();
    void RestorePlacement();
    bool FormCloseQuery();
    void FormClose();
    void PostCloseRequest();
    QAction* AddMenuItem(class QMenu* menu, const QString& objectName, const QString& caption,
                         const QString& hint, void (TMainScreen::*slot)(),
                         const QKeySequence& shortcut = QKeySequence());
    static void SwitchOrder(TTableAdapter& adapter, const char* tag);
    static void SetCommand(QPushButton* button, QAction* action, bool enabled);
    static void ShowFieldStarts(TFaxEditor& editor);
    // Writes the editor's texts into the sent table's current record and posts it: the
    // cover sheet, the document, then recipient, subject and fax number.
    void StoreEditedFax(TFaxEditor& editor);
    static void CancelEdit(TTableAdapter& table);

    std::unique_ptr<TFaxStore> store_;
    TJustOne* justOne_ = nullptr;
    QLabel* status_ = nullptr;
    QWidget* buttonBar_ = nullptr;
    QWidget* hiddenPanel_ = nullptr;
    TQpRichText* wpCover_ = nullptr;
    TQpRichText* wpDoc_ = nullptr;
    TQpFaxConverter* faxConverter_ = nullptr;
    std::unique_ptr<TFaxFileBuilder> builder_;
    TQpComPort* comPort_ = nullptr;
    TQpReceiveFax* receiveFax_ = nullptr;
    QSoundEffect* receiveSound_ = nullptr;
    QStackedWidget* noteBook_ = nullptr;
    QTabBar* tabSet1_ = nullptr;
    QTableView* faxGrid_ = nullptr;
    QTableView* recFaxGrid_ = nullptr;
    TTableModel* faxModel_ = nullptr;
    TTableModel* recModel_ = nullptr;

    QPushButton* newButton_ = nullptr;
    QPushButton* editButton_ = nullptr;
    QPushButton* cloneButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* sendButton_ = nullptr;
    QPushButton* receiveButton_ = nullptr;
    QPushButton* viewFaxButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;

    QAction* newItem_ = nullptr;
    QAction* editItem_ = nullptr;
    QAction* cloneItem_ = nullptr;
    QAction* deleteItem_ = nullptr;
    QAction* sendItem_ = nullptr;
    QAction* receiveItem_ = nullptr;
    QAction* viewItem_ = nullptr;
    QAction* rebuildItem_ = nullptr;
    QAction* preferencesItem_ = nullptr;
    QAction* showHintsItem_ = nullptr;

    bool startMinimized_ = false;
    bool cloneRequested_ = false;
    int pageCount_ = 0;
    bool receiving_ = false;
    int pagesReceived_ = 0;
    bool faxInProgress_ = false;
    bool stoppingReceive_ = false;
    int lastFaxError_ = 0;
    bool firstActivation_ = true;
    bool showPreferencesOnStart_ = false;
    bool activationScheduled_ = false;
    bool tablesClosed_ = false;
    bool placementRestored_ = false;
    bool startFailed_ = false; // a table could not be opened; the window closes at once
};
