#include "dialogs/ChooseDefaultFont.h"

#include "ui/WindowUtils.h"
#include "common/Settings.h"

#include <QFontDialog>

QFont DefaultFontFromSettings() {
    const QpSettings& settings = Settings();
    QFont font(QString::fromStdString(settings.fontName));
    font.setPointSize(settings.fontSize > 0 ? settings.fontSize : 10);
    font.setBold(settings.fontBold);
    font.setItalic(settings.fontItalic);
    font.setUnderline(settings.fontUnderline);
    return font;
}

bool ChooseDefaultFont(QWidget* parent) {
    LoadSettings();
    QFontDialog dialog(DefaultFontFromSettings(), parent);
    dialog.setObjectName("DefaultFontDialog");
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    CenterForm(&dialog);
    // A stored font that is not installed opens on its stand-in (Arial on Liberation Sans);
    // unless the user picks another family, the stored name stays.
    const QString shownFamily = dialog.currentFont().family();
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    const QFont chosen = dialog.selectedFont();
    QpSettings& settings = Settings();
    if (chosen.family() != shownFamily || settings.fontName.empty()) {
        settings.fontName = chosen.family().toStdString();
    }
    settings.fontSize = chosen.pointSize() > 0 ? chosen.pointSize() : settings.fontSize;
    settings.fontBold = chosen.bold();
    settings.fontItalic = chosen.italic();
    settings.fontUnderline = chosen.underline();
    SaveSettings();
    return true;
}
