#include "dialogs/TSendFaxForm.h"

TSendFaxForm::TSendFaxForm(QWidget* parent) : QDialog(parent), resultText_("Cancelled") {
    setWindowTitle(QStringLiteral("Send Fax"));
}

TSendFaxForm::~TSendFaxForm() = default;

void TSendFaxForm::SetFaxFile(const QString& path) {
    faxFile_ = path;
}

void TSendFaxForm::SetPhoneNumber(const QString& number) {
    presetPhone_ = number;
}

void TSendFaxForm::SetSettings(const SendFaxSettings& settings) {
    settings_ = settings;
}

SendFaxSettings TSendFaxForm::Settings() const {
    return settings_;
}

QString TSendFaxForm::ResultText() const {
    return resultText_;
}
