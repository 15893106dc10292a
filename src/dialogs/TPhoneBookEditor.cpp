#include "dialogs/TPhoneBookEditor.h"

#include "ui/WindowUtils.h"
#include "ui/Cp1252Input.h"
#include "ui/KeyboardAccess.h"
#include "ui/TButtonBar.h"
#include "ui/THelpBrowser.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* StatusLabel(QWidget* parent) {
    auto* status = new QLabel(parent);
    status->setObjectName("status");
    status->setFixedHeight(41);
    status->setAlignment(Qt::AlignCenter);
    status->setAutoFillBackground(true);
    status->setStyleSheet("QLabel#status { color: blue; background-color: silver; }");
    return status;
}

} // namespace

TPhoneBookEditor::TPhoneBookEditor(QWidget* parent) : QDialog(parent) {
    setObjectName("TPhoneBookEditor");
    setWindowTitle(QStringLiteral("Phone Book Editor"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(331, 200);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* bar = new TButtonBar(this, 41);
    QPushButton* help =
        bar->AddButton("Helpbutton", "&Help", "Get Windows help for Phone Book Editor");
    QPushButton* accept = bar->AddButton("OKButton", "&Accept", "Accept changes made and exit");
    QPushButton* cancel = bar->AddButton("Cancelbutton", "Cance&l", "Cancel changes made and exit");
    bar->AddStretch();
    layout->addWidget(bar);

    auto* body = new QWidget(this);
    auto* form = new QVBoxLayout(body);
    form->setContentsMargins(12, 8, 12, 8);
    auto* nameLabel = new QLabel(QStringLiteral("&Name"), body);
    name_ = new QLineEdit(body);
    name_->setObjectName("Name");
    name_->setMaxLength(MaxNameLength);
    nameLabel->setBuddy(name_);
    TButtonBar::SetHint(name_, QStringLiteral("Type the recipient's name here"));
    auto* numberLabel = new QLabel(QStringLiteral("&Fax Number"), body);
    number_ = new QLineEdit(body);
    number_->setObjectName("Number");
    number_->setMaxLength(MaxNumberLength);
    numberLabel->setBuddy(number_);
    TButtonBar::SetHint(number_, QStringLiteral("Type the fax number here"));
    // Both end up in Windows-1252 columns of the phone book table.
    Cp1252Input::Restrict(name_);
    Cp1252Input::Restrict(number_);
    form->addWidget(nameLabel);
    form->addWidget(name_);
    form->addWidget(numberLabel);
    form->addWidget(number_);
    form->addStretch(1);
    layout->addWidget(body, 1);

    status_ = StatusLabel(this);
    layout->addWidget(status_);
    hintGuard_ = std::make_unique<HintTargetGuard>(this, status_);

    connect(accept, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this,
            [this] { THelpBrowser::ShowTopic(THelpBrowser::hcPhoneEditor, this); });
    KeyboardAccess::Prepare(this, {name_, number_});
}

TPhoneBookEditor::~TPhoneBookEditor() = default;
