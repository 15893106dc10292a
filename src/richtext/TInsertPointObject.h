#pragma once

#include <QObject>
#include <QTextObjectInterface>

class QTextDocument;

// Draws the marker in front of an insert point's field text: a small red wedge, or
// nothing (and no width) while the document hides its markers.
class TInsertPointObject final : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    // Registers one marker handler with the document's layout (again after a layout change).
    static void RegisterWith(QTextDocument* document);

    QSizeF intrinsicSize(QTextDocument* document, int position, const QTextFormat& format) override;
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int position,
                    const QTextFormat& format) override;

private:
    explicit TInsertPointObject(QObject* parent) : QObject(parent) {}
};
