#pragma once

#include <QTextFormat>

// Text format properties of the editor's document beyond what Qt's formats hold. Lengths
// of paragraphs are kept in twips (the document's own unit); the pixel values Qt lays out
// with are derived from them for the current zoom.
namespace richtext {

enum Property {
    // Block formats (twips).
    ptLeftIndentTwips = QTextFormat::UserProperty + 1,
    ptRightIndentTwips,
    ptFirstIndentTwips, // relative to the left indent
    ptSpaceBeforeTwips,
    ptSpaceAfterTwips,
    ptLineSpacingTwips,
    ptLineMultiple,
    ptTabPositionsTwips, // QVariantList of int
    ptTabKinds,          // QVariantList of int (TRtfTabKind)
    // Character formats.
    ptFontFamilyWord = QTextFormat::UserProperty + 40, // TRtfFontFamily
    ptFontCharset,
    ptDoubleUnderline,
    ptShadow,
    ptHidden,
    ptInsertPointTag, // above 0 for the marker and field text of an insert point
    ptInsertPointId,  // tells neighbouring insert points apart
    // Pictures: the picture file's bytes and a QVariantList of int (TRtfPictureFormat,
    // format parameter, "\\picw", "\\pich", goal width, goal height, scale x, scale y,
    // bits per pixel, planes, width bytes).
    ptPictureData,
    ptPictureInfo,
};

// The object type of the marker that starts an insert point.
constexpr int kInsertPointObjectType = QTextFormat::UserObject + 1;
// The object type of a picture.
constexpr int kPictureObjectType = QTextFormat::UserObject + 2;

// Document properties (QObject properties of the QTextDocument).
constexpr const char* kSubjectProperty = "qpSubject";
constexpr const char* kCommentProperty = "qpComment";
constexpr const char* kDefaultFontFamilyWordProperty = "qpDefaultFontFamilyWord";
constexpr const char* kDefaultFontCharsetProperty = "qpDefaultFontCharset";
constexpr const char* kMarkersHiddenProperty = "qpInsertPointMarkersHidden";
constexpr const char* kPixelsPerTwipProperty = "qpPixelsPerTwip";

} // namespace richtext
