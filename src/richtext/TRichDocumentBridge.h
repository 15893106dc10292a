#pragma once

#include "richtext/core/TRtfDocument.h"

#include <QFont>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>

class QTextCursor;
class QTextDocument;

// Converts between the RTF document model and the editor's QTextDocument. Paragraph
// lengths live in twips in the block formats. Qt's layout takes two kinds of pixels:
// indents in the pixels of the device it lays out for (`pixelsPerTwip`: screen dots per
// inch x zoom / 1440), and spacing, line heights, tab stops and picture sizes in screen
// pixels, which it scales to the device itself (ReferencePixelsPerTwip). Each length is
// converted once, into the kind Qt expects.
class TRichDocumentBridge final {
public:
    // Replaces the contents of `document` with the model's paragraphs, title, subject,
    // comment and default font. Undo history is cleared.
    static void ToQt(const TRtfDocument& model, QTextDocument* document, qreal pixelsPerTwip);
    // Inserts the paragraphs at the cursor: the first one's text into the cursor's
    // paragraph (whose format it takes when `replaceFirstBlock`), each further one as a
    // paragraph of its own.
    static void InsertParagraphs(QTextCursor& cursor, const std::vector<TRtfParagraph>& paragraphs,
                                 qreal pixelsPerTwip, bool replaceFirstBlock);

    // The model of the document's contents (the page layout is left at its default).
    // Lists keep their bullets and numbers as text, tables become tabbed lines (columns
    // laid out on a text `textWidthTwips` wide), pictures of any kind PNG pictures.
    static TRtfDocument FromQt(const QTextDocument* document, int textWidthTwips = 10800);

    // Recomputes every paragraph's pixel lengths from its twips for a new scale, and
    // remembers the scale in the document.
    static void ApplyPixelsPerTwip(QTextDocument* document, qreal pixelsPerTwip);
    static void SetDefaultTabStops(QTextDocument* document, qreal pixelsPerTwip);

    static QTextBlockFormat BlockFormat(const TRtfParagraphFormat& format, bool pageBreakBefore,
                                        qreal pixelsPerTwip);
    // Stores the model's paragraph values into an existing block format (twips and pixels).
    static void SetParagraphFormat(QTextBlockFormat& block, const TRtfParagraphFormat& format,
                                   qreal pixelsPerTwip);
    static TRtfParagraphFormat ParagraphFormat(const QTextBlockFormat& block, qreal pixelsPerTwip);
    static QTextCharFormat CharFormat(const TRtfCharFormat& format);
    static TRtfCharFormat ModelCharFormat(const QTextCharFormat& format,
                                          const TRtfFont& defaultFont);

    // The font table family of a face that did not come from a document.
    static TRtfFontFamily FamilyOf(const QString& face);
    static int CharsetOf(const QString& face);
    static TRtfFont ModelFont(const QString& face);
    static qreal PixelsPerTwip(const QTextDocument* document);
    // Screen pixels per twip: the unit of the lengths Qt scales to its device.
    static qreal ReferencePixelsPerTwip();
};
