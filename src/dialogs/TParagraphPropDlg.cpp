#include "dialogs/TParagraphPropDlg.h"

#include "richtext/TQpRichText.h"
#include "ui/KeyboardAccess.h"
#include "ui/TButtonBar.h"
#include "ui/WindowUtils.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include <cmath>

namespace {

constexpr double TwipsPerInch = 1440.0;
constexpr double TwipsPerCm = 566.929;
constexpr double TwipsPerPoint = 20.0; // 1440 / 72

const QString SpacingBeforeHint =
    QStringLiteral("Specify spacing before paragraph in points (1 point=1/72 inch)");
const QString SpacingAfterHint =
    QStringLiteral("Specify spacing after paragraph in points (1 point=1/72 inch)");
const QString LineHeightHint =
    QStringLiteral("Specify spacing between lines of paragraph in points (1 point=1/72 inch)");

const char* const SameAsLeft = "Same as Left Indent";
const char* const IndentedBy = "Indented by";

QLabel* BuddyLabel(const QString& caption, QWidget* field, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setBuddy(field);
    return label;
}

} // namespace

TParagraphPropDlg::TParagraphPropDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("ParagraphPropDlg");
    setWindowTitle(QStringLiteral("Paragraph Properties"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(494, 137);
    // The fixed size was laid out for an 8-point face.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 8, 6, 8);
    layout->setSpacing(8);

    // Indents on the left, unit and spacing on the right, the buttons at the far right.
    auto* indents = new QWidget(this);
    auto* indentGrid = new QGridLayout(indents);
    indentGrid->setContentsMargins(0, 0, 0, 0);
    indentGrid->setVerticalSpacing(4);
    firstIndentCombo_ = new QComboBox(indents);
    firstIndentCombo_->setObjectName("FirstIndentCombo");
    firstIndentCombo_->addItems({QString::fromLatin1(SameAsLeft), QString::fromLatin1(IndentedBy)});
    TButtonBar::SetHint(firstIndentCombo_,
                        QStringLiteral("Specify special handling for first line indent"));
    QLineEdit* first = AddField(vFirstIndent, "FirstIndent");
    first->setParent(indents);
    first->setFixedWidth(60);
    firstIndentCombo_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    QLineEdit* left = AddField(vLeftIndent, "LeftIndent");
    left->setParent(indents);
    QLineEdit* right = AddField(vRightIndent, "RightIndent");
    right->setParent(indents);
    indentGrid->addWidget(BuddyLabel(QStringLiteral("&First Indent"), firstIndentCombo_, indents),
                          0, 0);
    indentGrid->addWidget(firstIndentCombo_, 0, 1);
    // The amount of "Indented by" under its choice, with a label of its own.
    indentGrid->addWidget(BuddyLabel(QStringLiteral("Amount"), first, indents), 1, 0);
    indentGrid->addWidget(first, 1, 1, Qt::AlignLeft);
    indentGrid->addWidget(BuddyLabel(QStringLiteral("&Left Indent"), left, indents), 2, 0);
    indentGrid->addWidget(left, 2, 1);
    indentGrid->addWidget(BuddyLabel(QStringLiteral("&Right Indent"), right, indents), 3, 0);
    indentGrid->addWidget(right, 3, 1);

    layout->addWidget(indents, 1);

    auto* spacing = new QWidget(this);
    auto* spacingGrid = new QGridLayout(spacing);
    spacingGrid->setContentsMargins(0, 0, 0, 0);
    spacingGrid->setVerticalSpacing(4);
    unitCombo_ = new QComboBox(spacing);
    unitCombo_->setObjectName("ComboBox1");
    unitCombo_->addItems({QStringLiteral("Inch"), QStringLiteral("Cm")});
    TButtonBar::SetHint(unitCombo_,
                        QStringLiteral("Change unit of measurement to inches or centimeters"));
    QLineEdit* before = AddField(vSpaceBefore, "SpaceBeforePts");
    before->setParent(spacing);
    QLineEdit* after = AddField(vSpaceAfter, "SpaceAfterPts");
    after->setParent(spacing);
    QLineEdit* height = AddField(vLineHeight, "LineHeightPts");
    height->setParent(spacing);
    spacingGrid->addWidget(BuddyLabel(QStringLiteral("&Units"), unitCombo_, spacing), 0, 0);
    spacingGrid->addWidget(unitCombo_, 0, 1);
    spacingGrid->addWidget(BuddyLabel(QStringLiteral("Space &before (pts)"), before, spacing), 1,
                           0);
    spacingGrid->addWidget(before, 1, 1);
    spacingGrid->addWidget(BuddyLabel(QStringLiteral("Space &after (pts)"), after, spacing), 2, 0);
    spacingGrid->addWidget(after, 2, 1);
    spacingGrid->addWidget(BuddyLabel(QStringLiteral("Line &Height (pts)"), height, spacing), 3, 0);
    spacingGrid->addWidget(height, 3, 1);
    for (QLineEdit* field : {before, after, height}) {
        field->setFixedWidth(44);
    }
    layout->addWidget(spacing, 0);

    auto* buttons = new QDialogButtonBox(Qt::Vertical, this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName("CancelButton");
    layout->addWidget(buttons, 0, Qt::AlignTop);
    connect(buttons, &QDialogButtonBox::accepted, this, &TParagraphPropDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TParagraphPropDlg::reject);

    TButtonBar::SetHint(before, SpacingBeforeHint);
    TButtonBar::SetHint(after, SpacingAfterHint);
    TButtonBar::SetHint(height, LineHeightHint);
    for (QWidget* control : std::initializer_list<QWidget*>{firstIndentCombo_, unitCombo_}) {
        control->setAccessibleDescription(control->statusTip());
    }

    connect(firstIndentCombo_, &QComboBox::activated, this,
            &TParagraphPropDlg::FirstIndentChoiceChanged);
    connect(unitCombo_, &QComboBox::currentIndexChanged, this, [this] {
        ShowValues();
        SetIndentHints();
    });

    firstIndentCombo_->setAccessibleName(QStringLiteral("First Indent"));
    first->setAccessibleName(QStringLiteral("First Indent, indented by"));
    left->setAccessibleName(QStringLiteral("Left Indent"));
    right->setAccessibleName(QStringLiteral("Right Indent"));
    unitCombo_->setAccessibleName(QStringLiteral("Units"));
    before->setAccessibleName(QStringLiteral("Space before (pts)"));
    after->setAccessibleName(QStringLiteral("Space after (pts)"));
    height->setAccessibleName(QStringLiteral("Line Height (pts)"));

    ShowValues();
    SetIndentHints();
    FirstIndentChoiceChanged();
    // Tab follows the panels: indents top to bottom, then unit and spacing, then buttons.
    KeyboardAccess::Prepare(this, {firstIndentCombo_, first, left, right, unitCombo_, before, after,
                                   height, ok, cancel});
}

QLineEdit* TParagraphPropDlg::AddField(Value value, const char* objectName) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QString::fromLatin1(objectName));
    fields_[value] = field;
    // Only what the user types is read back: redisplaying in another unit must not round
    // the stored twips.
    connect(field, &QLineEdit::textEdited, this, [this, value] { FieldEdited(value); });
    return field;
}

void TParagraphPropDlg::SetEditor(TQpRichText* editor) {
    editor_ = editor;
    if (editor_) {
        twips_[vFirstIndent] = editor_->FirstIndent();
        twips_[vLeftIndent] = editor_->LeftIndent();
        twips_[vRightIndent] = editor_->RightIndent();
        twips_[vSpaceBefore] = editor_->SpaceBefore();
        twips_[vSpaceAfter] = editor_->SpaceAfter();
        twips_[vLineHeight] = editor_->LineHeight();
    }
    const QSignalBlocker quiet(unitCombo_);
    unitCombo_->setCurrentIndex(uInch);
    firstIndentCombo_->setCurrentIndex(twips_[vFirstIndent] != twips_[vLeftIndent] ? 1 : 0);
    fields_[vFirstIndent]->setEnabled(!SameAsLeftIndent());
    ShowValues();
    SetIndentHints();
}

TParagraphPropDlg::Unit TParagraphPropDlg::CurrentUnit() const {
    return unitCombo_->currentIndex() == uCm ? uCm : uInch;
}

bool TParagraphPropDlg::SameAsLeftIndent() const {
    return firstIndentCombo_->currentIndex() == 0;
}

QString TParagraphPropDlg::TwipsToText(int twips, bool spacing, Unit unit) {
    if (spacing) {
        return QString::number(std::lround(twips / TwipsPerPoint));
    }
    const double perUnit = unit == uCm ? TwipsPerCm : TwipsPerInch;
    return QString::number(twips / perUnit, 'f', 2);
}

std::optional<int> TParagraphPropDlg::TextToTwips(const QString& text, bool spacing, Unit unit) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return 0;
    }
    bool ok = false;
    double number = QLocale::c().toDouble(trimmed, &ok);
    if (!ok) {
        number = QLocale::system().toDouble(trimmed, &ok);
    }
    if (!ok || !std::isfinite(number)) {
        return std::nullopt;
    }
    const double factor = spacing ? TwipsPerPoint : unit == uCm ? TwipsPerCm : TwipsPerInch;
    const double twips = std::round(number * factor);
    // Paragraph values of a page cannot be larger than a few pages; refuse absurd ones.
    if (std::fabs(twips) > 1.0e6) {
        return std::nullopt;
    }
    return static_cast<int>(twips);
}

QString TParagraphPropDlg::IndentHint(Value value, Unit unit) {
    const QString unitWord = unit == uCm ? QStringLiteral("centimeters") : QStringLiteral("inches");
    switch (value) {
    case vFirstIndent:
        return QStringLiteral("Specify first line indent for the paragraph in ") + unitWord;
    case vLeftIndent:
        return QStringLiteral("Specify left indent for the paragraph in ") + unitWord;
    case vRightIndent:
        return QStringLiteral("Specify right indent for the paragraph in ") + unitWord;
    default:
        return {};
    }
}

void TParagraphPropDlg::FieldEdited(Value value) {
    if (const auto twips = TextToTwips(fields_[value]->text(), IsSpacing(value), CurrentUnit())) {
        twips_[value] = *twips;
    }
    if (value == vLeftIndent && SameAsLeftIndent()) {
        fields_[vFirstIndent]->setText(fields_[vLeftIndent]->text());
        FieldEdited(vFirstIndent);
    }
}

void TParagraphPropDlg::ShowValues() {
    for (int value = vFirstIndent; value <= vLineHeight; ++value) {
        const auto v = static_cast<Value>(value);
        fields_[v]->setText(TwipsToText(twips_[v], IsSpacing(v), CurrentUnit()));
        fields_[v]->setCursorPosition(0);
    }
}

void TParagraphPropDlg::SetIndentHints() {
    for (Value value : {vFirstIndent, vLeftIndent, vRightIndent}) {
        const QString hint = IndentHint(value, CurrentUnit());
        TButtonBar::SetHint(fields_[value], hint);
        fields_[value]->setAccessibleDescription(hint);
    }
    for (Value value : {vSpaceBefore, vSpaceAfter, vLineHeight}) {
        fields_[value]->setAccessibleDescription(fields_[value]->statusTip());
    }
}

void TParagraphPropDlg::FirstIndentChoiceChanged() {
    if (SameAsLeftIndent()) {
        fields_[vFirstIndent]->setText(fields_[vLeftIndent]->text());
        FieldEdited(vFirstIndent);
    }
    fields_[vFirstIndent]->setEnabled(!SameAsLeftIndent());
}

void TParagraphPropDlg::accept() {
    // A field whose text is not a number would silently keep its old value: say so and
    // let the user correct it; nothing is applied.
    for (int value = vFirstIndent; value <= vLineHeight; ++value) {
        const auto v = static_cast<Value>(value);
        QLineEdit* field = fields_[v];
        if (field->isEnabled() && !TextToTwips(field->text(), IsSpacing(v), CurrentUnit())) {
            InfoBox(QStringLiteral("\"%1\" is not a valid number for %2.")
                        .arg(field->text(), field->accessibleName()));
            field->setFocus();
            field->selectAll();
            return;
        }
    }
    if (editor_) {
        editor_->SetParagraphSpacing(twips_[vSpaceBefore], twips_[vLineHeight],
                                     twips_[vSpaceAfter]);
        editor_->SetParagraphIndents(twips_[vFirstIndent], twips_[vLeftIndent],
                                     twips_[vRightIndent]);
    }
    QDialog::accept();
}
