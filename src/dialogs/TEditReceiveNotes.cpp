#include "dialogs/TEditReceiveNotes.h"

#include "ui/Cp1252Input.h"
#include "ui/KeyboardAccess.h"
#include "ui/TButtonBar.h"
#include "ui/THelpBrowser.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TEditReceiveNotes::TEditReceiveNotes(QWidget* parent) : QDialog(parent) {
    setObjectName("EditReceiveNotes");
    setWindowTitle(QStringLiteral("Received Fax Notes"));
    // A dialog without border icons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(460, 200);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* bar = new TButtonBar(this, 41);
    auto* accept = bar->AddButton("AcceptButton", "&Accept", "Accept changes made and exit");
    auto* cancel = bar->AddButton("CancelButton", "Cance&l", "Cancel changes made and exit");
    auto* help = bar->AddButton("HelpButton", "&Help", "Get help for received faxes");
    bar->AddStretch();
    layout->addWidget(bar);

    auto* body = new QWidget(this);
    auto* form = new QVBoxLayout(body);
    form->setContentsMargins(12, 10, 12, 10);
    descript_ = new QLabel(body);
    descript_->setObjectName("Descript");
    auto* notesLabel = new QLabel(QStringLiteral("&Notes"), body);
    notes_ = new QLineEdit(body);
    notes_->setObjectName("Notes");
    notes_->setMaxLength(MaxNotesLength);
    notesLabel->setBuddy(notes_);
    TButtonBar::SetHint(notes_, QStringLiteral("Type your notes about this fax here"));
    Cp1252Input::Restrict(notes_); // stored in a Windows-1252 column
    form->addWidget(descript_);
    form->addSpacing(8);
    form->addWidget(notesLabel);
    form->addWidget(notes_);
    form->addStretch(1);
    layout->addWidget(body, 1);

    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setFixedHeight(32);
    status_->setAlignment(Qt::AlignCenter);
    status_->setAutoFillBackground(true);
    status_->setStyleSheet("QLabel#status { color: blue; background-color: silver; }");
    layout->addWidget(status_);
    hintGuard_ = std::make_unique<HintTargetGuard>(this, status_);

    connect(accept, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this,
            [this] { THelpBrowser::ShowTopic(THelpBrowser::hcContents, this); });
    KeyboardAccess::Prepare(this, {notes_});
}

TEditReceiveNotes::~TEditReceiveNotes() = default;
