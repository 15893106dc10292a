#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

namespace qptest {

// Types `text` into `widget` one character at a time as a keyboard layout would deliver
// it, including characters QTest::keyClicks cannot send (outside Latin-1).
inline void TypeText(QWidget* widget, const QString& text) {
    for (const uint code : text.toUcs4()) {
        const auto ch = static_cast<char32_t>(code);
        const QString typed = QString::fromUcs4(&ch, 1);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, typed);
        QApplication::sendEvent(widget, &release);
    }
}

} // namespace qptest
