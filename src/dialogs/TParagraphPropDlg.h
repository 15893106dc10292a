#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <optional>

class QComboBox;
class QLineEdit;
class TQpRichText;

// "Paragraph Properties": the indents and the vertical spacing of the current paragraph
// of one rich text editor. All six values are kept in twips (1/1440 inch); indents are
// shown in inches or centimetres with two decimals, spacing in whole points.
//
// Use: create, SetEditor, CenterForm, exec(); OK applies spacing, then indents.
class TParagraphPropDlg final : public QDialog {
    Q_OBJECT

public:
    enum Value { vFirstIndent, vLeftIndent, vRightIndent, vSpaceBefore, vSpaceAfter, vLineHeight };
    enum Unit { uInch = 0, uCm = 1 };

    explicit TParagraphPropDlg(QWidget* parent = nullptr);

    // Reads the six values of the editor's current paragraph and shows them in inches.
    void SetEditor(TQpRichText* editor);

    int Twips(Value value) const { return twips_[value]; }
    Unit CurrentUnit() const;

    // Conversions between twips and what a field shows.
    static QString TwipsToText(int twips, bool spacing, Unit unit);
    // The twips of a field's text: empty is 0; nothing when the text is not a number.
    static std::optional<int> TextToTwips(const QString& text, bool spacing, Unit unit);
    // The hint of an indent field for `unit` ("... in inches" / "... in centimeters").
    static QString IndentHint(Value value, Unit unit);

    QLineEdit* Field(Value value) const { return fields_[value]; }
    QComboBox* FirstIndentCombo() const { return firstIndentCombo_; }
    QComboBox* UnitCombo() const { return unitCombo_; }

    void accept() override;

private:
    static bool IsSpacing(Value value) { return value >= vSpaceBefore; }
    QLineEdit* AddField(Value value, const char* objectName);
    void FieldEdited(Value value);
    void ShowValues();
    void SetIndentHints();
    void FirstIndentChoiceChanged();
    bool SameAsLeftIndent() const;

    TQpRichText* editor_ = nullptr;
    std::array<int, 6> twips_{};
    std::array<QLineEdit*, 6> fields_{};
    QComboBox* firstIndentCombo_ = nullptr;
    QComboBox* unitCombo_ = nullptr;
};
