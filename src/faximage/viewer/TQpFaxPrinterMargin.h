#pragma once

#include "faximage/viewer/FaxPrintLayout.h"

#include <QFont>
#include <QString>

class QPainter;

// The header or footer line of printed fax pages: a caption with tags (see
// FaxPrintTags), drawn in its own font above (below) the page and underlined (overlined)
// across the print area.
class TQpFaxPrinterMargin final {
public:
    explicit TQpFaxPrinterMargin(const QString& caption);

    const QString& Caption() const { return caption_; }
    void SetCaption(const QString& caption) { caption_ = caption; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    const QFont& Font() const { return font_; }
    void SetFont(const QFont& font) { font_ = font; }
    // The text height in printer dots measured at the last drawing.
    int TextHeight() const { return textHeight_; }

    // Draws `text` at the top of `area` with a line under it and moves the area's top
    // below the line. `halfSize` draws at half the font's point size (MultiPage).
    void DrawAsHeader(QPainter& painter, FaxPrintArea& area, const QString& text, bool halfSize);
    // The same at the bottom of `area`, with the line above the text.
    void DrawAsFooter(QPainter& painter, FaxPrintArea& area, const QString& text, bool halfSize);

private:
    void SelectFont(QPainter& painter, bool halfSize);

    QString caption_;
    bool enabled_ = true;
    QFont font_;
    int textHeight_ = 0;
};
