#include "dialogs/TCoverEditor.h"

#include "dialogs/TEditorAids.h"
#include "dialogs/TZoomButton.h"
#include "richtext/TQpRichText.h"
#include "richtext/TQpRichToolBar.h"
#include "ui/Cp1252Input.h"
#include "ui/KeyboardAccess.h"
#include "ui/TButtonBar.h"
#include "ui/THelpBrowser.h"
#include "ui/WindowUtils.h"

#include <QComboBox>
#include <QFontComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace {

struct InsertPointName {
    const char* menuCaption;
    int tag;
    const char* name;
};

constexpr InsertPointName InsertPoints[] = {
    {"Recipient", 1, "[RECIPIENT]"}, {"Fax Number", 2, "[FAX#]"}, {"Subject", 3, "[SUBJECT]"},
    {"Date", 4, "[DATE]"},           {"Time", 5, "[TIME]"},
};

constexpr int PageWidthTwips = 12240;
constexpr int PageHeightTwips = 15840;
constexpr int MarginTwips = 720;

} // namespace

TCoverEditor::TCoverEditor(QWidget* parent) : QDialog(parent) {
    setObjectName("TCoverEditor");
    setWindowTitle(QStringLiteral("Cover Sheet Template Editor"));
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

    cover_ = new TQpRichText(this);
    cover_->setObjectName("WPCover");
    cover_->setTabChangesFocus(false);
    cover_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    cover_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    cover_->setAccessibleName(QStringLiteral("Cover sheet template"));
    toolBar_ = new TQpRichToolBar(this);
    toolBar_->setObjectName("WPToolCover");
    toolBar_->SetEditor(cover_);
    aids_ = new TEditorAids(
        cover_, toolBar_,
        {"CoverDocPageBreakButton", "CoverParagraphSetupbutton", "CoverDocWordWrapButton"}, this);
    aids_->ShowWordWrap(false);
    layout->addWidget(toolBar_);
    layout->addWidget(cover_, 1);

    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setFixedHeight(41);
    status_->setAlignment(Qt::AlignCenter);
    status_->setAutoFillBackground(true);
    status_->setStyleSheet("QLabel#status { color: blue; background-color: silver; }");
    layout->addWidget(status_);
    hintGuard_ = std::make_unique<HintTargetGuard>(this, status_);

    // 592 x 403, or wider where this desktop's fonts need it for the whole toolbar.
    resize(std::max(592, toolBar_->sizeHint().width()), 403);
    RestoreFormPlacement(this);
    // Tab: the description, the formatting toolbar, the template, then the bar's buttons.
    QList<QWidget*> order{description_};
    order << toolBar_->TabStops() << cover_;
    KeyboardAccess::Prepare(this, order);
}

TCoverEditor::~TCoverEditor() = default;

QWidget* TCoverEditor::BuildTopBar() {
    auto* bar = new TButtonBar(this, 52);
    auto* barLayout = qobject_cast<QHBoxLayout*>(bar->layout());

    auto* field = new QWidget(bar);
    auto* fieldLayout = new QVBoxLayout(field);
    fieldLayout->setContentsMargins(0, 0, 6, 0);
    fieldLayout->setSpacing(1);
    auto* label = new QLabel(QStringLiteral("&Description"), field);
    label->setStyleSheet("color: white;");
    description_ = new QLineEdit(field);
    description_->setObjectName("CoverDescription");
    description_->setMinimumWidth(200);
    label->setBuddy(description_);
    TButtonBar::SetHint(description_,
                        QStringLiteral("Enter a description for this cover sheet template here"));
    description_->setAccessibleName(QStringLiteral("Description"));
    description_->setAccessibleDescription(description_->statusTip());
    Cp1252Input::Restrict(description_); // stored in a Windows-1252 column
    connect(description_, &QLineEdit::textChanged, this, &TCoverEditor::ShowDescriptionLength);
    fieldLayout->addWidget(label);
    fieldLayout->addWidget(description_);
    barLayout->addWidget(field);

    QPushButton* help =
        bar->AddButton("HelpButton", "&Help", "Get Windows help for Cover Sheet Template Editor");
    QPushButton* insert =
        bar->AddButton("ExplorerButton1", "&Insert",
                       "Insert a field from the recipient data, or the current date and time");
    insertMenu_ = new QMenu(insert);
    insertMenu_->setObjectName("InsertMenu");
    for (const InsertPointName& point : InsertPoints) {
        const QString caption = QString::fromLatin1(point.menuCaption);
        QAction* item = insertMenu_->addAction(caption);
        connect(item, &QAction::triggered, this, [this, caption] { InsertField(caption); });
    }
    insert->setMenu(insertMenu_);
    zoom_ = new TZoomButton([this] { return cover_; }, bar);
    barLayout->addWidget(zoom_);
    QPushButton* ok = bar->AddButton("OKbutton", "&Accept", "Ok - save changes to this template");
    QPushButton* cancel =
        bar->AddButton("CancelButton", "Cance&l", "Cancel - do not save changes to this template");
    bar->AddStretch();
    for (QPushButton* button : bar->findChildren<QPushButton*>()) {
        button->setAccessibleDescription(button->statusTip());
    }

    connect(help, &QPushButton::clicked, this,
            [this] { THelpBrowser::ShowTopic(THelpBrowser::hcCoverEditor, this); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    return bar;
}

bool TCoverEditor::InsertField(const QString& caption) {
    const QString wanted = caption.toUpper();
    for (const InsertPointName& point : InsertPoints) {
        if (QString::fromLatin1(point.menuCaption).toUpper() == wanted) {
            cover_->InsertInsertPoint(point.tag, QString::fromLatin1(point.name));
            cover_->Repaint();
            return true;
        }
    }
    return false;
}

void TCoverEditor::ShowDescriptionLength() {
    if (description_->text().size() > DescriptionWidth) {
        status_->setText(QStringLiteral("Only the first %1 characters of the description are "
                                        "kept")
                             .arg(DescriptionWidth));
    }
}

void TCoverEditor::showEvent(QShowEvent* event) {
    cover_->SetPageSize(PageWidthTwips, PageHeightTwips);
    cover_->SetMargins(MarginTwips, MarginTwips, MarginTwips, MarginTwips);
    cover_->Repaint();
    QDialog::showEvent(event);
    if (firstShow_) {
        firstShow_ = false;
        TEditorAids::MoveToStart(cover_);
        description_->setFocus();
    }
}

void TCoverEditor::done(int result) {
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
