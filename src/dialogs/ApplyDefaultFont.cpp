#include "dialogs/ApplyDefaultFont.h"

#include "common/Settings.h"
#include "richtext/TQpRichText.h"

#include <QString>

void ApplyDefaultFont(TQpRichText& editor) {
    const QpSettings& settings = Settings();
    if (!settings.fontName.empty()) {
        editor.SetFontName(QString::fromStdString(settings.fontName));
    }
    if (settings.fontSize > 0) {
        editor.SetFontSize(settings.fontSize);
    }
    editor.SetBold(settings.fontBold);
    editor.SetItalic(settings.fontItalic);
    editor.SetUnderline(settings.fontUnderline);
}
