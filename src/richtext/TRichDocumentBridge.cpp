#include "richtext/TRichDocumentBridge.h"

#include "richtext/TPictureObject.h"
#include "richtext/TRichTextProperties.h"
#include "common/CodePage1252.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextOption>
#include <QTextTable>

#include <cmath>

namespace {

using namespace richtext;

QString ToQString(const std::u32string& text) {
    return QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size()));
}

std::u32string ToU32(const QString& text) {
    const QList<uint> units = text.toUcs4();
    return std::u32string(units.begin(), units.end());
}

// Line breaks inside a paragraph are U+2028 in Qt and '\n' in the model.
QString RunText(const std::u32string& text) {
    QString result = ToQString(text);
    result.replace(QChar('\n'), QChar::LineSeparator);
    return result;
}

int TwipsProperty(const QTextBlockFormat& block, int property, qreal pixels, qreal pixelsPerTwip) {
    if (block.hasProperty(property)) {
        return block.intProperty(property);
    }
    return qRound(pixels / pixelsPerTwip);
}

QTextOption::TabType QtTabType(TRtfTabKind kind) {
    switch (kind) {
    case TRtfTabKind::tkCenter:
        return QTextOption::CenterTab;
    case TRtfTabKind::tkRight:
        return QTextOption::RightTab;
    case TRtfTabKind::tkDecimal:
        return QTextOption::DelimiterTab;
    default:
        return QTextOption::LeftTab;
    }
}

// Qt scales tab positions to the device by its resolution over the screen's, but takes that
// ratio in 1/64 steps, cut off, and cuts the product off to 1/64 pixel again. A tab stop
// given in screen pixels as the next 1/64 step above the device position divided by this
// ratio lands on the device exactly where its twips say.
qreal TabPosition(int twips, qreal pixelsPerTwip) {
    const qreal scale =
        std::floor(64 * pixelsPerTwip / TRichDocumentBridge::ReferencePixelsPerTwip()) / 64;
    const qreal steps = std::ceil(twips * pixelsPerTwip * 64 / scale - 1e-6);
    return (steps + 0.25) / 64;
}

// The Qt formats of the last few model formats: a document uses few formats, usually
// alternating, and building each again for every run would dominate loading.
class CharFormatCache {
public:
    const QTextCharFormat& Get(const TRtfCharFormat& format) {
        for (size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i].first == format) {
                return entries_[i].second;
            }
        }
        if (entries_.size() == kSize) {
            entries_.erase(entries_.begin());
        }
        entries_.emplace_back(format, TRichDocumentBridge::CharFormat(format));
        return entries_.back().second;
    }

private:
    static constexpr size_t kSize = 16;
    std::vector<std::pair<TRtfCharFormat, QTextCharFormat>> entries_;
};

TRtfColor ModelColor(const QColor& color) {
    return {color.red(), color.green(), color.blue()};
}

QFont DocumentFont(const TRtfFont& font) {
    QFont result(QString::fromStdString(font.name.empty() ? "Arial" : font.name));
    result.setPointSizeF(10);
    return result;
}

} // namespace

qreal TRichDocumentBridge::ReferencePixelsPerTwip() {
    if (QCoreApplication::testAttribute(Qt::AA_Use96Dpi)) {
        return 96 / 1440.0;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    return (screen ? qRound(screen->logicalDotsPerInchY()) : 100) / 1440.0;
}

qreal TRichDocumentBridge::PixelsPerTwip(const QTextDocument* document) {
    const QVariant stored = document->property(kPixelsPerTwipProperty);
    if (stored.isValid() && stored.toReal() > 0) {
        return stored.toReal();
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen ? qRound(screen->logicalDotsPerInchY()) : 96;
    return dpi / 1440.0;
}

void TRichDocumentBridge::ToQt(const TRtfDocument& model, QTextDocument* document,
                               qreal pixelsPerTwip) {
    document->setUndoRedoEnabled(false);
    document->clear();
    document->setProperty(kPixelsPerTwipProperty, pixelsPerTwip);
    SetDefaultTabStops(document, pixelsPerTwip);
    document->setProperty(kMarkersHiddenProperty, model.insertPointMarkersHidden);
    document->setDefaultFont(DocumentFont(model.defaultFont));
    document->setProperty(kDefaultFontFamilyWordProperty,
                          static_cast<int>(model.defaultFont.family));
    document->setProperty(kDefaultFontCharsetProperty, model.defaultFont.charset);
    document->setMetaInformation(QTextDocument::DocumentTitle, ToQString(model.title));
    document->setProperty(kSubjectProperty, ToQString(model.subject));
    document->setProperty(kCommentProperty, ToQString(model.comment));

    QTextCursor cursor(document);
    cursor.beginEditBlock();
    InsertParagraphs(cursor, model.paragraphs, pixelsPerTwip, true);
    cursor.endEditBlock();
    document->setUndoRedoEnabled(true);
    document->setModified(false);
}

void TRichDocumentBridge::InsertParagraphs(QTextCursor& cursor,
                                           const std::vector<TRtfParagraph>& paragraphs,
                                           qreal pixelsPerTwip, bool replaceFirstBlock) {
    CharFormatCache formats;
    bool first = true;
    for (const TRtfParagraph& paragraph : paragraphs) {
        const QTextBlockFormat block =
            BlockFormat(paragraph.format, paragraph.pageBreakBefore, pixelsPerTwip);
        // The paragraph's own attributes: those of its end when it is empty, else those of
        // its first characters (never an insert point's).
        QTextCharFormat blockChars;
        if (paragraph.IsEmpty()) {
            blockChars =
                paragraph.endFormat ? formats.Get(*paragraph.endFormat) : QTextCharFormat();
        } else {
            blockChars = formats.Get(paragraph.runs.front().format);
            blockChars.clearProperty(ptInsertPointTag);
        }
        if (first && replaceFirstBlock) {
            cursor.setBlockFormat(block);
            cursor.setBlockCharFormat(blockChars);
        } else if (!first) {
            cursor.insertBlock(block, blockChars);
        }
        first = false;
        int lastInsertPoint = 0;
        for (const TRtfRun& run : paragraph.runs) {
            if (run.picture) {
                if (run.picture->format != TRtfPictureFormat::pfOther) {
                    cursor.insertText(
                        QString(QChar::ObjectReplacementCharacter),
                        TPictureObject::Format(*run.picture, formats.Get(run.format)));
                }
                lastInsertPoint = 0;
                continue;
            }
            QTextCharFormat chars = formats.Get(run.format);
            if (run.insertPointId > 0) {
                chars.setProperty(ptInsertPointId, run.insertPointId);
                if (run.insertPointId != lastInsertPoint) {
                    QTextCharFormat marker = chars;
                    marker.setObjectType(kInsertPointObjectType);
                    cursor.insertText(QString(QChar::ObjectReplacementCharacter), marker);
                }
            }
            lastInsertPoint = run.insertPointId;
            if (!run.text.empty()) {
                cursor.insertText(RunText(run.text), chars);
            }
        }
    }
}

namespace {

// Collects the runs of paragraphs from blocks: field texts become insert points (each
// marker starts one; field text whose marker was deleted starts one of its own), pictures
// become picture runs, pictures of other programs' documents PNG pictures.
class RunCollector {
public:
    RunCollector(const QTextDocument* document, const TRtfFont& defaultFont)
        : document_(document), defaultFont_(defaultFont) {}

    void AppendBlock(const QTextBlock& block, TRtfParagraph& paragraph) {
        int currentInsertPoint = 0;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat chars = fragment.charFormat();
            const int tag = chars.intProperty(ptInsertPointTag);
            const int storedId = chars.intProperty(ptInsertPointId);
            if (chars.objectType() == kInsertPointObjectType) {
                // Each marker starts a new insert point (copies may share a stored id).
                for (int i = 0; i < fragment.length() && tag > 0; ++i) {
                    currentInsertPoint = ++nextInsertPoint_;
                    paragraph.runs.push_back({Model(chars), {}, currentInsertPoint, nullptr});
                }
                lastStoredId_ = storedId;
                continue;
            }
            if (chars.objectType() == kPictureObjectType || chars.isImageFormat()) {
                AppendPictures(fragment, paragraph);
                currentInsertPoint = 0;
                continue;
            }
            if (tag <= 0) {
                currentInsertPoint = 0;
            } else if (currentInsertPoint == 0 || storedId != lastStoredId_) {
                currentInsertPoint = ++nextInsertPoint_; // field text whose marker was deleted
                lastStoredId_ = storedId;
            }
            QString text = fragment.text();
            text.replace(QChar::LineSeparator, QChar('\n'));
            text.remove(QChar::ObjectReplacementCharacter);
            if (!text.isEmpty()) {
                paragraph.runs.push_back({Model(chars), ToU32(text), currentInsertPoint, nullptr});
            }
        }
    }

    void AppendText(TRtfParagraph& paragraph, const std::u32string& text,
                    const QTextCharFormat& chars) {
        paragraph.runs.push_back({Model(chars), text, 0, nullptr});
    }

    TRtfCharFormat Model(const QTextCharFormat& chars) const {
        return TRichDocumentBridge::ModelCharFormat(chars, defaultFont_);
    }

private:
    void AppendPictures(const QTextFragment& fragment, TRtfParagraph& paragraph) {
        const QTextCharFormat chars = fragment.charFormat();
        std::shared_ptr<const TRtfPicture> picture;
        if (chars.objectType() == kPictureObjectType) {
            picture = std::make_shared<const TRtfPicture>(TPictureObject::Picture(chars));
        } else {
            // A picture of another program's document (pasted HTML): kept as PNG at the
            // size it was shown, or left out when its image cannot be had.
            const QTextImageFormat image = chars.toImageFormat();
            const QVariant resource =
                document_->resource(QTextDocument::ImageResource, QUrl(image.name()));
            QImage pixels = resource.value<QImage>();
            if (pixels.isNull() && resource.canConvert<QPixmap>()) {
                pixels = resource.value<QPixmap>().toImage();
            }
            if (pixels.isNull() && resource.typeId() == QMetaType::QByteArray) {
                pixels = QImage::fromData(resource.toByteArray());
            }
            if (pixels.isNull()) {
                return;
            }
            const qreal twipsPerPixel = 1 / TRichDocumentBridge::ReferencePixelsPerTwip();
            picture = std::make_shared<const TRtfPicture>(
                TPictureObject::FromImage(pixels, qRound(image.width() * twipsPerPixel),
                                          qRound(image.height() * twipsPerPixel)));
        }
        TRtfCharFormat format = Model(chars);
        format.insertPointTag = 0;
        for (int i = 0; i < fragment.length(); ++i) {
            paragraph.runs.push_back({format, {}, 0, picture});
        }
    }

    const QTextDocument* document_;
    TRtfFont defaultFont_;
    int nextInsertPoint_ = 0;
    int lastStoredId_ = 0;
};

// The text that stands for a list item's bullet or number.
QString ListMarker(const QTextList* list, const QTextBlock& block) {
    switch (list->format().style()) {
    case QTextListFormat::ListDisc:
        return QString(QChar(0x2022));
    case QTextListFormat::ListCircle:
        return QString(QChar(0x25E6));
    case QTextListFormat::ListSquare:
        return QString(QChar(0x25AA));
    default:
        return list->itemText(block);
    }
}

// The left edges of a table's columns in twips, for a table `widthTwips` wide.
std::vector<int> ColumnEdges(const QTextTable* table, int widthTwips) {
    const int columns = table->columns();
    const QList<QTextLength> constraints = table->format().columnWidthConstraints();
    std::vector<double> widths(columns, 0);
    double fixed = 0;
    int open = 0;
    for (int c = 0; c < columns; ++c) {
        const QTextLength length = constraints.value(c);
        if (length.type() == QTextLength::PercentageLength) {
            widths[c] = widthTwips * length.rawValue() / 100;
        } else if (length.type() == QTextLength::FixedLength) {
            widths[c] = length.rawValue() / TRichDocumentBridge::ReferencePixelsPerTwip();
        } else {
            ++open;
            continue;
        }
        fixed += widths[c];
    }
    for (int c = 0; c < columns; ++c) {
        if (widths[c] == 0) {
            widths[c] = std::max(720.0, (widthTwips - fixed) / std::max(open, 1));
        }
    }
    std::vector<int> edges;
    double left = 0;
    for (int c = 0; c < columns; ++c) {
        edges.push_back(static_cast<int>(std::lround(left)));
        left += widths[c];
    }
    return edges;
}

// A table becomes one line per row: its cells' text separated by tabs, with tab stops
// at the columns' left edges; the paragraphs of a cell are joined by blanks.
void AppendTable(const QTextTable* table, int textWidthTwips, RunCollector& collector,
                 TRtfDocument& model) {
    const std::vector<int> edges = ColumnEdges(table, textWidthTwips);
    for (int row = 0; row < table->rows(); ++row) {
        TRtfParagraph paragraph;
        for (size_t c = 1; c < edges.size(); ++c) {
            paragraph.format.tabs.push_back({edges[c], TRtfTabKind::tkLeft});
        }
        for (int column = 0; column < table->columns(); ++column) {
            const QTextTableCell cell = table->cellAt(row, column);
            if (column > 0) {
                collector.AppendText(paragraph, U"\t", cell.format().toCharFormat());
            }
            if (cell.row() != row || cell.column() != column) {
                continue; // covered by a cell that spans it
            }
            bool firstBlock = true;
            for (auto it = cell.begin(); !it.atEnd(); ++it) {
                const QTextBlock block = it.currentBlock();
                if (!block.isValid()) {
                    continue;
                }
                if (!firstBlock) {
                    collector.AppendText(paragraph, U" ", block.charFormat());
                }
                firstBlock = false;
                collector.AppendBlock(block, paragraph);
            }
        }
        model.paragraphs.push_back(std::move(paragraph));
    }
}

} // namespace

TRtfDocument TRichDocumentBridge::FromQt(const QTextDocument* document, int textWidthTwips) {
    TRtfDocument model;
    const qreal pixelsPerTwip = PixelsPerTwip(document);
    const QVariant familyWord = document->property(kDefaultFontFamilyWordProperty);
    model.defaultFont = ModelFont(document->defaultFont().family());
    if (familyWord.isValid()) {
        model.defaultFont.family = static_cast<TRtfFontFamily>(familyWord.toInt());
        model.defaultFont.charset = document->property(kDefaultFontCharsetProperty).toInt();
    }
    model.title = ToU32(document->metaInformation(QTextDocument::DocumentTitle));
    model.subject = ToU32(document->property(kSubjectProperty).toString());
    model.comment = ToU32(document->property(kCommentProperty).toString());
    model.insertPointMarkersHidden = document->property(kMarkersHiddenProperty).toBool();

    RunCollector collector(document, model.defaultFont);
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (const QTextTable* table = QTextCursor(block).currentTable()) {
            AppendTable(table, textWidthTwips, collector, model);
            // The table ends with a block of its own that holds nothing but its end.
            block = document->findBlock(table->lastPosition() + 1);
            continue;
        }
        TRtfParagraph paragraph;
        const QTextBlockFormat blockFormat = block.blockFormat();
        paragraph.format = ParagraphFormat(blockFormat, pixelsPerTwip);
        paragraph.pageBreakBefore =
            blockFormat.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore;
        TRtfCharFormat end = collector.Model(block.charFormat());
        end.insertPointTag = 0;
        paragraph.endFormat = end;
        if (const QTextList* list = block.textList()) {
            // A list item keeps its bullet or number as text, hanging in front of it.
            const int indent = 360 * qMax(1, list->format().indent());
            paragraph.format.leftIndent += indent;
            paragraph.format.firstIndent = -360;
            paragraph.format.tabs = {{paragraph.format.leftIndent, TRtfTabKind::tkLeft}};
            collector.AppendText(paragraph, ToU32(ListMarker(list, block) + '\t'),
                                 block.begin().atEnd() ? block.charFormat()
                                                       : block.begin().fragment().charFormat());
        }
        collector.AppendBlock(block, paragraph);
        model.paragraphs.push_back(std::move(paragraph));
    }
    return model;
}

// The half-inch default tab stops of the stored form ("\\deftab720").
void TRichDocumentBridge::SetDefaultTabStops(QTextDocument* document, qreal pixelsPerTwip) {
    QTextOption option = document->defaultTextOption();
    const qreal defaultTab = TabPosition(720, pixelsPerTwip);
    if (option.tabStopDistance() != defaultTab) {
        option.setTabStopDistance(defaultTab);
        document->setDefaultTextOption(option);
    }
}

void TRichDocumentBridge::ApplyPixelsPerTwip(QTextDocument* document, qreal pixelsPerTwip) {
    const qreal previous = PixelsPerTwip(document);
    const bool undo = document->isUndoRedoEnabled();
    const bool modified = document->isModified();
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat current = block.blockFormat();
        QTextBlockFormat format = current;
        SetParagraphFormat(format, ParagraphFormat(current, previous), pixelsPerTwip);
        if (format == current) {
            continue; // paragraphs without lengths look the same at every scale
        }
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
    cursor.endEditBlock();
    SetDefaultTabStops(document, pixelsPerTwip);
    document->setProperty(kPixelsPerTwipProperty, pixelsPerTwip);
    document->setUndoRedoEnabled(undo);
    document->setModified(modified);
}

QTextBlockFormat TRichDocumentBridge::BlockFormat(const TRtfParagraphFormat& format,
                                                  bool pageBreakBefore, qreal pixelsPerTwip) {
    QTextBlockFormat block;
    SetParagraphFormat(block, format, pixelsPerTwip);
    if (pageBreakBefore) {
        block.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    }
    return block;
}

void TRichDocumentBridge::SetParagraphFormat(QTextBlockFormat& block,
                                             const TRtfParagraphFormat& format,
                                             qreal pixelsPerTwip) {
    switch (format.alignment) {
    case TRtfAlignment::raCenter:
        block.setAlignment(Qt::AlignHCenter);
        break;
    case TRtfAlignment::raRight:
        block.setAlignment(Qt::AlignRight);
        break;
    case TRtfAlignment::raJustify:
        block.setAlignment(Qt::AlignJustify);
        break;
    case TRtfAlignment::raLeft:
        block.setAlignment(Qt::AlignLeft);
        break;
    }
    block.setProperty(ptLeftIndentTwips, format.leftIndent);
    block.setProperty(ptRightIndentTwips, format.rightIndent);
    block.setProperty(ptFirstIndentTwips, format.firstIndent);
    block.setProperty(ptSpaceBeforeTwips, format.spaceBefore);
    block.setProperty(ptSpaceAfterTwips, format.spaceAfter);
    block.setProperty(ptLineSpacingTwips, format.lineSpacing);
    block.setProperty(ptLineMultiple, format.lineMultiple);
    // Qt lays indents out in the device's pixels as given, and scales spacing, line
    // heights and tab stops from screen pixels to the device itself.
    const qreal reference = ReferencePixelsPerTwip();
    block.setLeftMargin(format.leftIndent * pixelsPerTwip);
    block.setRightMargin(format.rightIndent * pixelsPerTwip);
    block.setTextIndent(format.firstIndent * pixelsPerTwip);
    block.setTopMargin(format.spaceBefore * reference);
    block.setBottomMargin(format.spaceAfter * reference);
    if (format.lineSpacing == 0) {
        block.setLineHeight(0, QTextBlockFormat::SingleHeight);
    } else if (format.lineMultiple) {
        block.setLineHeight(qAbs(format.lineSpacing) * 100.0 / 240.0,
                            QTextBlockFormat::ProportionalHeight);
    } else if (format.lineSpacing > 0) {
        block.setLineHeight(format.lineSpacing * reference, QTextBlockFormat::MinimumHeight);
    } else {
        block.setLineHeight(-format.lineSpacing * reference, QTextBlockFormat::FixedHeight);
    }
    QVariantList positions;
    QVariantList kinds;
    QList<QTextOption::Tab> tabs;
    for (const TRtfTabStop& tab : format.tabs) {
        positions << tab.position;
        kinds << static_cast<int>(tab.kind);
        tabs << QTextOption::Tab(TabPosition(tab.position, pixelsPerTwip), QtTabType(tab.kind),
                                 tab.kind == TRtfTabKind::tkDecimal ? QChar('.') : QChar());
    }
    block.setProperty(ptTabPositionsTwips, positions);
    block.setProperty(ptTabKinds, kinds);
    block.setTabPositions(tabs);
}

TRtfParagraphFormat TRichDocumentBridge::ParagraphFormat(const QTextBlockFormat& block,
                                                         qreal pixelsPerTwip) {
    TRtfParagraphFormat format;
    const Qt::Alignment alignment = block.alignment() & Qt::AlignHorizontal_Mask;
    if (alignment & Qt::AlignHCenter) {
        format.alignment = TRtfAlignment::raCenter;
    } else if (alignment & Qt::AlignJustify) {
        format.alignment = TRtfAlignment::raJustify;
    } else if (alignment & Qt::AlignRight) {
        format.alignment = TRtfAlignment::raRight;
    }
    format.leftIndent = TwipsProperty(block, ptLeftIndentTwips, block.leftMargin(), pixelsPerTwip);
    format.rightIndent =
        TwipsProperty(block, ptRightIndentTwips, block.rightMargin(), pixelsPerTwip);
    format.firstIndent =
        TwipsProperty(block, ptFirstIndentTwips, block.textIndent(), pixelsPerTwip);
    const qreal reference = ReferencePixelsPerTwip();
    format.spaceBefore = TwipsProperty(block, ptSpaceBeforeTwips, block.topMargin(), reference);
    format.spaceAfter = TwipsProperty(block, ptSpaceAfterTwips, block.bottomMargin(), reference);
    if (block.hasProperty(ptLineSpacingTwips)) {
        format.lineSpacing = block.intProperty(ptLineSpacingTwips);
        format.lineMultiple = block.boolProperty(ptLineMultiple);
    } else if (block.lineHeightType() == QTextBlockFormat::MinimumHeight) {
        format.lineSpacing = qRound(block.lineHeight() / reference);
    } else if (block.lineHeightType() == QTextBlockFormat::FixedHeight) {
        format.lineSpacing = -qRound(block.lineHeight() / reference);
    } else if (block.lineHeightType() == QTextBlockFormat::ProportionalHeight &&
               block.lineHeight() != 100) {
        format.lineSpacing = qRound(block.lineHeight() * 240 / 100);
        format.lineMultiple = true;
    }
    if (block.hasProperty(ptTabPositionsTwips)) {
        const QVariantList positions = block.property(ptTabPositionsTwips).toList();
        const QVariantList kinds = block.property(ptTabKinds).toList();
        for (qsizetype i = 0; i < positions.size(); ++i) {
            format.tabs.push_back(
                {positions[i].toInt(), static_cast<TRtfTabKind>(kinds.value(i).toInt())});
        }
    }
    return format;
}

QTextCharFormat TRichDocumentBridge::CharFormat(const TRtfCharFormat& format) {
    QTextCharFormat chars;
    if (!format.font.name.empty()) {
        chars.setFontFamilies(QStringList{QString::fromStdString(format.font.name)});
    }
    chars.setProperty(ptFontFamilyWord, static_cast<int>(format.font.family));
    chars.setProperty(ptFontCharset, format.font.charset);
    if (format.halfPoints > 0) {
        chars.setFontPointSize(format.halfPoints / 2.0);
    }
    chars.setForeground(QColor(format.color.red, format.color.green, format.color.blue));
    if (format.background) {
        const TRtfColor& back = *format.background;
        chars.setBackground(QColor(back.red, back.green, back.blue));
    }
    if (format.bold) {
        chars.setFontWeight(QFont::Bold);
    }
    if (format.italic) {
        chars.setFontItalic(true);
    }
    if (format.underline || format.doubleUnderline) {
        chars.setFontUnderline(true);
    }
    if (format.doubleUnderline) {
        chars.setProperty(ptDoubleUnderline, true);
    }
    if (format.strike) {
        chars.setFontStrikeOut(true);
    }
    if (format.superscript) {
        chars.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    } else if (format.subscript) {
        chars.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    }
    if (format.shadow) {
        chars.setProperty(ptShadow, true);
    }
    if (format.hidden) {
        chars.setProperty(ptHidden, true);
        chars.setUnderlineStyle(QTextCharFormat::DotLine);
    }
    if (format.insertPointTag > 0) {
        chars.setProperty(ptInsertPointTag, format.insertPointTag);
    }
    return chars;
}

TRtfCharFormat TRichDocumentBridge::ModelCharFormat(const QTextCharFormat& chars,
                                                    const TRtfFont& defaultFont) {
    TRtfCharFormat format;
    const QStringList families = chars.fontFamilies().toStringList();
    if (families.isEmpty() || families.front().isEmpty()) {
        format.font = defaultFont;
    } else {
        format.font = ModelFont(families.front());
        if (chars.hasProperty(ptFontFamilyWord)) {
            format.font.family = static_cast<TRtfFontFamily>(chars.intProperty(ptFontFamilyWord));
            format.font.charset = chars.intProperty(ptFontCharset);
        }
    }
    if (chars.hasProperty(QTextFormat::FontPointSize)) {
        format.halfPoints = qRound(chars.fontPointSize() * 2);
    }
    if (chars.hasProperty(QTextFormat::ForegroundBrush) &&
        chars.foreground().style() != Qt::NoBrush) {
        format.color = ModelColor(chars.foreground().color());
    }
    if (chars.hasProperty(QTextFormat::BackgroundBrush) &&
        chars.background().style() != Qt::NoBrush) {
        format.background = ModelColor(chars.background().color());
    }
    format.bold = chars.fontWeight() >= QFont::Bold;
    format.italic = chars.fontItalic();
    format.doubleUnderline = chars.boolProperty(ptDoubleUnderline);
    format.hidden = chars.boolProperty(ptHidden);
    format.underline = !format.doubleUnderline && !format.hidden && chars.fontUnderline();
    format.strike = chars.fontStrikeOut();
    format.superscript = chars.verticalAlignment() == QTextCharFormat::AlignSuperScript;
    format.subscript = chars.verticalAlignment() == QTextCharFormat::AlignSubScript;
    format.shadow = chars.boolProperty(ptShadow);
    format.insertPointTag = qMax(0, chars.intProperty(ptInsertPointTag));
    return format;
}

TRtfFontFamily TRichDocumentBridge::FamilyOf(const QString& face) {
    const QString name = face.toLower();
    if (QFontDatabase::isFixedPitch(face) || name.contains("mono") || name.contains("courier")) {
        return TRtfFontFamily::ffModern;
    }
    if (name.contains("script") || name.contains("brush") || name.contains("hand")) {
        return TRtfFontFamily::ffScript;
    }
    if (name.contains("symbol") || name.contains("dings")) {
        return TRtfFontFamily::ffDecor;
    }
    static const char* const swiss[] = {"sans",   "arial",   "helvetica", "verdana",
                                        "tahoma", "swiss",   "univers",   "frutiger",
                                        "gothic", "calibri", "segoe"};
    for (const char* word : swiss) {
        if (name.contains(QLatin1String(word))) {
            return TRtfFontFamily::ffSwiss;
        }
    }
    return TRtfFontFamily::ffNil;
}

int TRichDocumentBridge::CharsetOf(const QString& face) {
    const QString name = face.toLower();
    return name.contains("symbol") || name.contains("dings") ? 2 : 0;
}

TRtfFont TRichDocumentBridge::ModelFont(const QString& face) {
    return {face.toStdString(), FamilyOf(face), CharsetOf(face)};
}
