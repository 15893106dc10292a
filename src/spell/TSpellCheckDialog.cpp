#include "spell/TSpellCheckDialog.h"

#include <utility>

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "richtext/TQpRichText.h"
#include "spell/core/SpellDictionaryFiles.h"
#include "spell/core/Windows1252.h"
#include "ui/KeyboardAccess.h"

namespace {

// The Windows-1252 form of an editor word, or nothing when it has other characters.
std::optional<std::string> ToListBytes(const QString& word) {
    return Windows1252::FromUtf8(word.toStdString());
}

QString FromListBytes(const std::string& bytes) {
    return QString::fromStdString(Windows1252::ToUtf8(bytes));
}

} // namespace

TSpellCheckDialog::TSpellCheckDialog(TQpRichText* editor, QWidget* parent)
    : QDialog(parent), editor_(editor) {
    BuildForm();
    hintGuard_ = std::make_unique<HintTargetGuard>(this, statusLabel_);
    OpenDictionaries();
    addButton_->setEnabled(userSection_ != -1);
}

TSpellCheckDialog::~TSpellCheckDialog() {
    FinishCheck();
}

void TSpellCheckDialog::BuildForm() {
    setObjectName("SpellCheckDialog");
    setWindowTitle("Spell Check");
    setModal(true);

    auto* errorLabel = new QLabel("Possible spelling &error", this);
    errorEdit_ = new QLineEdit(this);
    errorEdit_->setObjectName("ErrorEdit");
    errorEdit_->setReadOnly(true);
    errorLabel->setBuddy(errorEdit_);

    auto* replaceLabel = new QLabel("Replace &with", this);
    replaceEdit_ = new QLineEdit(this);
    replaceEdit_->setObjectName("ReplaceEdit");
    replaceLabel->setBuddy(replaceEdit_);

    auto* listLabel = new QLabel("Possible re&placements", this);
    replacementList_ = new QListWidget(this);
    replacementList_->setObjectName("ReplacementList");
    listLabel->setBuddy(replacementList_);

    replaceButton_ = new QPushButton("Replace ", this);
    replaceButton_->setObjectName("ReplaceButton");
    replaceButton_->setDefault(true);
    replaceButton_->setStatusTip("Replace the word with the text under \"Replace with\"");
    skipButton_ = new QPushButton("&Skip Word", this);
    skipButton_->setObjectName("SkipButton");
    skipButton_->setStatusTip("Leave the word as it is and go on");
    addButton_ = new QPushButton("&Add Word", this);
    addButton_->setObjectName("AddButton");
    addButton_->setStatusTip("Add the word to your own word list");
    cancelButton_ = new QPushButton("Cancel", this);
    cancelButton_->setObjectName("CancelButton");
    cancelButton_->setStatusTip("Stop the spell check");

    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName("StatusLabel");
    statusLabel_->setFrameShape(QFrame::Panel);
    statusLabel_->setFrameShadow(QFrame::Sunken);

    auto* fields = new QVBoxLayout;
    fields->addWidget(errorLabel);
    fields->addWidget(errorEdit_);
    fields->addWidget(replaceLabel);
    fields->addWidget(replaceEdit_);
    fields->addWidget(listLabel);
    fields->addWidget(replacementList_, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(replaceButton_);
    buttons->addWidget(skipButton_);
    buttons->addWidget(addButton_);
    buttons->addStretch(1);
    buttons->addWidget(cancelButton_);

    auto* grid = new QGridLayout(this);
    grid->addLayout(fields, 0, 0);
    grid->addLayout(buttons, 0, 1);
    grid->addWidget(statusLabel_, 1, 0, 1, 2);
    resize(420, 320);

    connect(replaceButton_, &QPushButton::clicked, this, &TSpellCheckDialog::ReplaceClicked);
    connect(skipButton_, &QPushButton::clicked, this, &TSpellCheckDialog::SkipClicked);
    connect(addButton_, &QPushButton::clicked, this, &TSpellCheckDialog::AddClicked);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(replacementList_, &QListWidget::itemClicked, this,
            &TSpellCheckDialog::ReplacementChosen);
    connect(replacementList_, &QListWidget::itemDoubleClicked, this,
            &TSpellCheckDialog::ReplacementChosen);
    // The focus starts in "Replace with": type the replacement, Enter replaces.
    KeyboardAccess::Prepare(this, {errorEdit_, replaceEdit_, replacementList_, replaceButton_,
                                   skipButton_, addButton_, cancelButton_});
}

// Opens the main list of the data folder (copying the delivered one there first when it
// is missing) and the user list, creating an empty user list when there is none. A
// failure leaves the dialog without that list.
void TSpellCheckDialog::OpenDictionaries() {
    SpellDictionaryFiles::InstallMainList();
    const std::string mainList = SpellDictionaryFiles::MainListPath();
    speller_.SetDictionaryName(mainList);
    speller_.OpenMainList(mainList);
    const std::string userList = SpellDictionaryFiles::UserListPath();
    speller_.SetDictionaryUser(userList);
    if (QFileInfo::exists(QString::fromStdString(userList))) {
        userSection_ = speller_.OpenUserList(userList);
    } else {
        userSection_ = speller_.CreateUserList(userList);
    }
    for (const auto& repair : speller_.TakeUserListRepairs()) {
        repairNotices_ << QString::fromStdString(DescribeUserListRepair(repair));
    }
}

// Tells the user about damaged user lists (each once), with the check window shown.
void TSpellCheckDialog::ShowRepairNotices() {
    for (const auto& repair : speller_.TakeUserListRepairs()) {
        repairNotices_ << QString::fromStdString(DescribeUserListRepair(repair));
    }
    const QStringList notices = std::exchange(repairNotices_, {});
    for (const QString& notice : notices) {
        InfoBox(notice);
    }
}

void TSpellCheckDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!activated_) {
        activated_ = true;
        // Let the dialog appear before the first (possibly slow) check runs.
        QMetaObject::invokeMethod(this, &TSpellCheckDialog::StartCheck, Qt::QueuedConnection);
    }
}

void TSpellCheckDialog::StartCheck() {
    if (finished_ || !editor_) {
        return;
    }
    ShowRepairNotices();
    editor_->ResetWordScan();
    CheckNextWord();
}

bool TSpellCheckDialog::IsKnown(const QString& word) {
    if (word.toUcs4().size() <= 1 || refusedWords_.contains(word.toCaseFolded())) {
        return true;
    }
    const auto bytes = ToListBytes(word);
    return bytes && speller_.CheckWord(*bytes);
}

// Takes words from the control until one is in no list, and shows it; when none is left
// the check is complete.
void TSpellCheckDialog::CheckNextWord() {
    if (finished_ || !editor_) {
        return;
    }
    while (true) {
        const QString word = editor_->NextWord();
        if (word.isEmpty()) {
            CompleteCheck();
            return;
        }
        if (!IsKnown(word)) {
            ShowMisspelling(word);
            return;
        }
    }
}

void TSpellCheckDialog::ShowMisspelling(const QString& word) {
    replacementList_->clear();
    if (const auto bytes = ToListBytes(word)) {
        for (const auto& suggestion : speller_.Suggestions(*bytes)) {
            replacementList_->addItem(FromListBytes(suggestion));
        }
    }
    editor_->HighlightWord();
    errorEdit_->setText(word);
    replaceEdit_->setText(replacementList_->count() > 0 ? replacementList_->item(0)->text() : word);
    replaceEdit_->selectAll(); // typed text takes the suggestion's place
}

void TSpellCheckDialog::CompleteCheck() {
    hide();
    InfoBox("Spell check complete");
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TSpellCheckDialog::ReplaceClicked() {
    if (!editor_) {
        return;
    }
    editor_->ReplaceWord(replaceEdit_->text());
    CheckNextWord();
    editor_->Repaint();
}

void TSpellCheckDialog::SkipClicked() {
    CheckNextWord();
}

void TSpellCheckDialog::AddClicked() {
    const QString word = errorEdit_->text();
    if (!word.isEmpty()) {
        const auto bytes = ToListBytes(word);
        const bool added = bytes && speller_.AddWord(*bytes, userSection_);
        ShowRepairNotices();
        if (!added) {
            ReportRefusal(word, bytes ? speller_.LastAddResult() : AddWordResult::awBadLetter);
        }
    }
    CheckNextWord();
}

// Says why the word was not added; its later occurrences are passed over in this check
// rather than stopping it again for the same refusal.
void TSpellCheckDialog::ReportRefusal(const QString& word, AddWordResult result) {
    refusedWords_.insert(word.toCaseFolded());
    const std::string reason = AddWordRefusalReason(result, word.toStdString());
    InfoBox(QString("\"%1\" was not added: %2.").arg(word, QString::fromStdString(reason)));
}

void TSpellCheckDialog::ReplacementChosen(QListWidgetItem* item) {
    if (item) {
        replaceEdit_->setText(item->text());
    }
}

void TSpellCheckDialog::done(int result) {
    FinishCheck();
    QDialog::done(result);
}

void TSpellCheckDialog::closeEvent(QCloseEvent* event) {
    QDialog::closeEvent(event);
    if (event->isAccepted()) {
        FinishCheck();
    }
}

// On close: the control's highlight goes and the dictionaries are closed.
void TSpellCheckDialog::FinishCheck() {
    if (finished_) {
        return;
    }
    finished_ = true;
    if (editor_) {
        editor_->RemoveHighlight();
    }
    speller_.Close();
}
