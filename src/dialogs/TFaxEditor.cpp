#include "dialogs/TFaxEditor.h"

#include "dialogs/TCoverBrowse.h"
#include "dialogs/TEditorAids.h"
#include "dialogs/TEnterEdit.h"
#include "dialogs/TPhoneBook.h"
#include "dialogs/TZoomButton.h"
#include "richtext/RichTextTransfer.h"
#include "richtext/TQpRichText.h"
#include "richtext/TQpRichToolBar.h"
#include "store/TFaxStore.h"
#include "store/TTableEnv.h"
#include "ui/Cp1252Input.h"
#include "ui/KeyboardAccess.h"
#include "ui/TButtonBar.h"
#include "ui/THelpBrowser.h"
#include "ui/WindowUtils.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFontComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace {

constexpr int PageWidthTwips = 12240;  // 8.5 inches
constexpr int PageHeightTwips = 15840; // 11 inches
constexpr int MarginTwips = 720;       // half an inch

QLabel* BuddyLabel(const QString& caption, QWidget* field, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setBuddy(field);
    return label;
}

TEnterEdit* MakeField(const char* objectName, int limit, const QString& accessibleName,
                      const QString& hint, QWidget* parent) {
    auto* field = new TEnterEdit(parent);
    field->setObjectName(QString::fromLatin1(objectName));
    field->SetLimit(limit);
    TButtonBar::SetHint(field, hint);
    field->setAccessibleName(accessibleName);
    field->setAccessibleDescription(hint);
    Cp1252Input::Restrict(field); // stored in a Windows-1252 column of the fax table
    return field;
}

} // namespace

TFaxEditor::TFaxEditor(QWidget* parent) : QDialog(parent) {
    setObjectName("TFaxEditor");
    setWindowTitle(QStringLiteral("Fax Editor"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    // The program's windows are laid out for an 8-point face.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(BuildTopBar());

    notebook_ = new QStackedWidget(this);
    notebook_->setObjectName("Notebook");
    notebook_->addWidget(BuildRecipientPage());
    notebook_->addWidget(BuildRichPage(true));
    notebook_->addWidget(BuildRichPage(false));
    layout->addWidget(notebook_, 1);

    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setFixedHeight(41);
    status_->setAlignment(Qt::AlignCenter);
    status_->setAutoFillBackground(true);
    status_->setStyleSheet("QLabel#status { color: blue; background-color: silver; }");
    layout->addWidget(status_);
    hintGuard_ = std::make_unique<HintTargetGuard>(this, status_);

    // The document toolbar is as high as the cover toolbar.
    docTool_->setFixedHeight(coverTool_->height());
    coverAids_->ShowWordWrap(false);
    docAids_->ShowWordWrap(false);
    cover_->GetTextToInsert = [this](int tag) { return GetTextToInsert(tag); };

    ShowRecipientPage();
    // 592 x 403, or wider where this desktop's fonts need it for the whole toolbar.
    resize(std::max(592, coverTool_->sizeHint().width()), 403);
    RestoreFormPlacement(this);
    KeyboardAccess::Prepare(this, TabOrder());
}

TFaxEditor::~TFaxEditor() = default;

QWidget* TFaxEditor::BuildTopBar() {
    auto* bar = new TButtonBar(this);
    // The page button that is down looks pressed: dark, with a light frame. The rule must
    // be in place before the buttons are made; added later, it does not reach them.
    bar->setStyleSheet(bar->styleSheet() +
                       "TButtonBar QPushButton:checked { background-color: rgb(24, 72, 72); "
                       "border: 1px solid rgb(200, 230, 230); }");
    QPushButton* help = bar->AddButton("Helpbutton", "&Help", "Get Windows help for Fax Editor");
    recipientButton_ =
        bar->AddButton("RecipientButton", "&Recipient Info", "Edit the recipient information");
    documentButton_ = bar->AddButton("DocumentButton", "&Fax Document", "Edit the fax document");
    coverButton_ =
        bar->AddButton("CoverButton", "&Cover Sheet", "Edit the optional fax cover sheet");
    auto* pages = new QButtonGroup(this);
    for (QPushButton* button : {recipientButton_, documentButton_, coverButton_}) {
        button->setCheckable(true);
        pages->addButton(button);
    }
    pages->setExclusive(true);
    // The group is one Tab stop, and Tab lands on the page shown (the arrow keys move on).
    connect(pages, &QButtonGroup::buttonToggled, this, [](QAbstractButton* button, bool down) {
        if (down && !button->hasFocus()) {
            for (QAbstractButton* page : button->group()->buttons()) {
                page->setFocusPolicy(page == button ? Qt::TabFocus : Qt::NoFocus);
            }
        }
    });
    recipientButton_->setChecked(true);

    zoom_ = new TZoomButton([this] { return ZoomedEditor(); }, bar);
    qobject_cast<QHBoxLayout*>(bar->layout())->addWidget(zoom_);
    zoom_->hide();
    QPushButton* ok = bar->AddButton("OKButton", "&Accept", "Ok - save changes to this fax");
    QPushButton* cancel =
        bar->AddButton("CancelButton", "Cance&l", "Cancel - do not save changes to this fax");
    bar->AddStretch();
    for (QPushButton* button : bar->findChildren<QPushButton*>()) {
        button->setAccessibleDescription(button->statusTip());
    }

    connect(help, &QPushButton::clicked, this,
            [this] { THelpBrowser::ShowTopic(THelpBrowser::hcFaxEditor, this); });
    connect(recipientButton_, &QPushButton::clicked, this, [this] {
        ShowRecipientPage();
        recipient_->setFocus();
    });
    connect(coverButton_, &QPushButton::clicked, this, [this] {
        ShowCoverPage();
        cover_->setFocus();
    });
    connect(documentButton_, &QPushButton::clicked, this, [this] {
        ShowDocumentPage();
        doc_->setFocus();
    });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    return bar;
}

QWidget* TFaxEditor::BuildRecipientPage() {
    auto* page = new QWidget(this);
    page->setObjectName("RecipientPage");
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(16, 16, 16, 16);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);

    recipient_ = MakeField("Recipient", RecipientLimit, QStringLiteral("Recipient"),
                           QStringLiteral("Enter recipient name here"), page);
    faxNumber_ = MakeField("FaxNumber", FaxNumberLimit, QStringLiteral("Fax Number"),
                           QStringLiteral("Enter recipient fax number here"), page);
    subject_ = MakeField("Subject", SubjectLimit, QStringLiteral("Subject"),
                         QStringLiteral("Enter subject (topic) of fax here"), page);
    addressButton_ = new QPushButton(QStringLiteral("&Phonebook"), page);
    addressButton_->setObjectName("AddressButton");
    addressButton_->setAutoDefault(false);
    TButtonBar::SetHint(addressButton_, QStringLiteral("Click here to access the Phone Book"));
    addressButton_->setAccessibleDescription(addressButton_->statusTip());
    connect(addressButton_, &QPushButton::clicked, this, &TFaxEditor::AddressButtonClick);

    grid->addWidget(BuddyLabel(QStringLiteral("R&ecipient"), recipient_, page), 0, 0);
    grid->addWidget(recipient_, 0, 1);
    grid->addWidget(addressButton_, 0, 2);
    grid->addWidget(BuddyLabel(QStringLiteral("Fax &Number"), faxNumber_, page), 1, 0);
    grid->addWidget(faxNumber_, 1, 1);
    grid->addWidget(BuddyLabel(QStringLiteral("&Subject"), subject_, page), 2, 0);
    grid->addWidget(subject_, 2, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);
    return page;
}

QWidget* TFaxEditor::BuildRichPage(bool cover) {
    auto* page = new QWidget(this);
    page->setObjectName(cover ? "CoverPage" : "DocumentPage");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* editor = new TQpRichText(page);
    editor->setObjectName(cover ? "WPCover" : "WPDoc");
    editor->setTabChangesFocus(false); // Tab is text
    editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor->setAccessibleName(cover ? QStringLiteral("Cover sheet")
                                    : QStringLiteral("Fax document"));
    auto* toolBar = new TQpRichToolBar(page);
    toolBar->setObjectName(cover ? "WPToolCover" : "WPToolDoc");
    toolBar->SetEditor(editor);
    layout->addWidget(toolBar);
    layout->addWidget(editor, 1);

    if (cover) {
        cover_ = editor;
        coverTool_ = toolBar;
        coverAids_ = new TEditorAids(
            editor, toolBar,
            {"CoverDocPageBreakButton", "CoverParagraphSetupbutton", "CoverDocWordWrapButton"},
            this);
        loadCoverButton_ =
            TEditorAids::MakeToolButton("LoadCoverButton", TEditorAids::picTemplate,
                                        QStringLiteral("Load Cover Sheet from Template"), toolBar);
        toolBar->AddButton(loadCoverButton_);
        connect(loadCoverButton_, &QToolButton::clicked, this, &TFaxEditor::LoadCoverButtonClick);
    } else {
        doc_ = editor;
        docTool_ = toolBar;
        docAids_ = new TEditorAids(
            editor, toolBar, {"DocPageBreakButton", "ParagraphSetupButton", "DocWordWrapButton"},
            this);
    }
    return page;
}

QList<QWidget*> TFaxEditor::TabOrder() const {
    // The fields of the visible page top to bottom (the hidden pages' controls are skipped
    // by Tab); the top bar follows them.
    QList<QWidget*> chain{recipient_, faxNumber_, subject_, addressButton_};
    for (auto [toolBar, editor] : {std::pair{coverTool_, cover_}, std::pair{docTool_, doc_}}) {
        chain << toolBar->TabStops() << editor;
    }
    return chain;
}

TQpRichText* TFaxEditor::ZoomedEditor() const {
    return documentButton_->isChecked() ? doc_ : cover_;
}

void TFaxEditor::ShowRecipientPage() {
    notebook_->setCurrentIndex(pgRecipient);
    zoom_->hide();
}

void TFaxEditor::ShowCoverPage() {
    notebook_->setCurrentIndex(pgCover);
    zoom_->ShowZoomOf(cover_);
    zoom_->show();
}

void TFaxEditor::ShowDocumentPage() {
    notebook_->setCurrentIndex(pgDocument);
    zoom_->ShowZoomOf(doc_);
    zoom_->show();
}

void TFaxEditor::AddressButtonClick() {
    TPhoneBook phoneBook(this);
    if (!phoneBook.OpenTable()) {
        return;
    }
    phoneBook.SetChoosingMode(true);
    CenterForm(&phoneBook);
    if (phoneBook.exec() == QDialog::Accepted) {
        recipient_->setText(phoneBook.ChosenName());
        faxNumber_->setText(phoneBook.ChosenNumber());
        recipient_->setCursorPosition(0);
        faxNumber_->setCursorPosition(0);
    }
}

void TFaxEditor::LoadCoverButtonClick() {
    std::unique_ptr<TFaxStore> ownStore;
    TFaxStore* store = coverStore_;
    if (!store) {
        ownStore = std::make_unique<TFaxStore>(TTableEnv::Instance());
        store = ownStore.get();
    }
    if (!store->OpenCoverDBF()) {
        return;
    }
    TTableAdapter& coverTable = store->CoverAdapter();
    try {
        TCoverBrowse browser(coverTable, this);
        browser.SetChoosingMode(true);
        CenterForm(&browser);
        if (browser.exec() == QDialog::Accepted) {
            LoadCoverFrom(coverTable);
        }
    } catch (const std::exception& error) {
        InfoBox(QString::fromStdString(error.what()));
    }
    coverTable.Close();
}

void TFaxEditor::LoadCoverFrom(TTableAdapter& coverTable) {
    cover_->Clear();
    LoadRichText(*cover_, "COVER", coverTable);
    cover_->Repaint();
    // The merge happens once, here: later changes of the recipient fields do not reach
    // the cover sheet until the template is loaded again.
    cover_->MergeInsertPoints();
    cover_->SetInsertPointMarkersHidden(true);
    cover_->Repaint();
}

std::optional<QString> TFaxEditor::GetTextToInsert(int tag) {
    QString text;
    switch (tag) {
    case 1:
        text = recipient_->text();
        break;
    case 2:
        text = faxNumber_->text();
        break;
    case 3:
        text = subject_->text();
        break;
    case 4:
        text = ShortDateText(QDate::currentDate());
        break;
    case 5:
        text = LongTimeText(QTime::currentTime());
        break;
    default:
        return std::nullopt;
    }
    insertBuffer_ = text.left(InsertTextLimit);
    return insertBuffer_;
}

QString TFaxEditor::ShortDateText(const QDate& date) {
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString TFaxEditor::LongTimeText(const QTime& time) {
    // The long time format of the locale, with the seconds but without a time zone name.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
    format.remove(zone);
    return time.toString(format.trimmed());
}

void TFaxEditor::ApplyPageLayout() {
    for (TQpRichText* editor : {cover_, doc_}) {
        editor->SetPageSize(PageWidthTwips, PageHeightTwips);
        editor->SetMargins(MarginTwips, MarginTwips, MarginTwips, MarginTwips);
        editor->Repaint();
    }
}

void TFaxEditor::showEvent(QShowEvent* event) {
    ApplyPageLayout();
    QDialog::showEvent(event);
    if (firstShow_) {
        // The first activation starts on the recipient page with both texts at their
        // start. Later activations (back from the phone book, a template, the spell
        // check) keep the page the user was on.
        firstShow_ = false;
        ShowRecipientPage();
        TEditorAids::MoveToStart(cover_);
        TEditorAids::MoveToStart(doc_);
        recipient_->setFocus();
    }
}

void TFaxEditor::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (doc_) {
        doc_->Repaint();
    }
}

void TFaxEditor::done(int result) {
    if (!placementSaved_) {
        placementSaved_ = true;
        try {
            SaveFormPlacement(this);
        } catch (const std::exception&) {
            // A settings file that cannot be written must not keep the window open.
        }
    }
    QDialog::done(result);
}
