#include "richtext/TPictureObject.h"

#include "richtext/TRichDocumentBridge.h"
#include "richtext/TRichTextProperties.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QPainter>
#include <QTextDocument>
#include <QtEndian>

namespace {

using namespace richtext;

// A device-independent bitmap is a bitmap file without its 14-byte file header.
QImage DibImage(const std::string& dib) {
    if (dib.size() < 40) {
        return QImage();
    }
    const auto* bytes = reinterpret_cast<const uchar*>(dib.data());
    const quint32 headerSize = qFromLittleEndian<quint32>(bytes);
    const quint16 bitCount = qFromLittleEndian<quint16>(bytes + 14);
    const quint32 compression = qFromLittleEndian<quint32>(bytes + 16);
    const quint32 colorsUsed = qFromLittleEndian<quint32>(bytes + 32);
    quint32 palette = colorsUsed > 0 ? colorsUsed * 4 : bitCount <= 8 ? (1u << bitCount) * 4 : 0;
    if (compression == 3 && headerSize == 40) {
        palette += 12; // the three colour masks of BI_BITFIELDS
    }
    if (headerSize > dib.size() || palette > dib.size()) {
        return QImage();
    }
    QByteArray file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    qToLittleEndian<quint32>(quint32(14 + dib.size()), file.data() + 2);
    qToLittleEndian<quint32>(quint32(14 + headerSize + palette), file.data() + 10);
    file.append(dib.data(), qsizetype(dib.size()));
    return QImage::fromData(file, "BMP");
}

QByteArray ToByteArray(const std::string& data) {
    return QByteArray(data.data(), qsizetype(data.size()));
}

} // namespace

void TPictureObject::RegisterWith(QTextDocument* document) {
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    layout->registerHandler(kPictureObjectType, new TPictureObject(layout));
}

QTextCharFormat TPictureObject::Format(const TRtfPicture& picture, const QTextCharFormat& base) {
    QTextCharFormat format = base;
    format.setObjectType(kPictureObjectType);
    format.setProperty(ptPictureData, ToByteArray(picture.data));
    format.setProperty(ptPictureInfo,
                       QVariantList{static_cast<int>(picture.format), picture.formatParameter,
                                    picture.width, picture.height, picture.goalWidth,
                                    picture.goalHeight, picture.scaleX, picture.scaleY,
                                    picture.bitsPerPixel, picture.planes, picture.widthBytes});
    format.clearProperty(ptInsertPointTag);
    format.clearProperty(ptInsertPointId);
    return format;
}

TRtfPicture TPictureObject::Picture(const QTextFormat& format) {
    TRtfPicture picture;
    const QByteArray data = format.property(ptPictureData).toByteArray();
    picture.data.assign(data.constData(), size_t(data.size()));
    const QVariantList info = format.property(ptPictureInfo).toList();
    int* const fields[] = {nullptr,         &picture.formatParameter, &picture.width,
                           &picture.height, &picture.goalWidth,       &picture.goalHeight,
                           &picture.scaleX, &picture.scaleY,          &picture.bitsPerPixel,
                           &picture.planes, &picture.widthBytes};
    picture.format = static_cast<TRtfPictureFormat>(info.value(0).toInt());
    for (qsizetype i = 1; i < info.size() && i < qsizetype(std::size(fields)); ++i) {
        *fields[i] = info[i].toInt();
    }
    return picture;
}

TRtfPicture TPictureObject::FromImage(const QImage& image, int widthTwips, int heightTwips) {
    TRtfPicture picture;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    picture.format = TRtfPictureFormat::pfPng;
    picture.data.assign(png.constData(), size_t(png.size()));
    picture.width = image.width();
    picture.height = image.height();
    picture.goalWidth = widthTwips > 0 ? widthTwips : image.width() * 15;
    picture.goalHeight = heightTwips > 0 ? heightTwips : image.height() * 15;
    return picture;
}

QImage TPictureObject::Image(const TRtfPicture& picture) {
    switch (picture.format) {
    case TRtfPictureFormat::pfPng:
    case TRtfPictureFormat::pfJpeg:
        return QImage::fromData(ToByteArray(picture.data));
    case TRtfPictureFormat::pfDib:
        return DibImage(picture.data);
    default:
        return QImage();
    }
}

QSizeF TPictureObject::intrinsicSize(QTextDocument* document, int, const QTextFormat& format) {
    const TRtfPicture picture = Picture(format);
    const qreal pixelsPerTwip = TRichDocumentBridge::PixelsPerTwip(document);
    return QSizeF(qMax(1, picture.ShownWidth()) * pixelsPerTwip,
                  qMax(1, picture.ShownHeight()) * pixelsPerTwip);
}

QImage TPictureObject::CachedImage(const QTextFormat& format) {
    const QByteArray data = format.property(ptPictureData).toByteArray();
    if (data.isSharedWith(cachedData_) || data == cachedData_) {
        return cachedImage_;
    }
    cachedData_ = data;
    cachedImage_ = Image(Picture(format));
    return cachedImage_;
}

void TPictureObject::drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                                const QTextFormat& format) {
    const QImage image = CachedImage(format);
    painter->save();
    if (!image.isNull()) {
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(rect, image);
    } else {
        painter->setPen(QPen(Qt::black, 0, Qt::DashLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
        painter->drawLine(rect.topLeft(), rect.bottomRight());
        painter->drawLine(rect.topRight(), rect.bottomLeft());
    }
    painter->restore();
}
