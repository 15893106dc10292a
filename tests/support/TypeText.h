#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QTest>
#include <QWidget>
#include <QWindow>

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

// Types `text` at the window, as the keyboard does: each key goes to the control that has
// the focus, whichever that is (and '\t' moves the focus on). A test that types this way
// finds out where the focus is instead of putting it there first.
inline void TypeAtWindow(QWidget* window, const QString& text) {
    QWindow* handle = window->window()->windowHandle();
    for (const uint code : text.toUcs4()) {
        if (code < 0x80) {
            QTest::keyClick(handle, static_cast<char>(code));
            continue;
        }
        // Qt's key code of a Latin-1 letter is its capital; other characters have none.
        const auto ch = static_cast<char32_t>(code);
        const QString typed = QString::fromUcs4(&ch, 1);
        const uint capital = typed.toUpper().size() == 1 ? typed.toUpper()[0].unicode() : 0;
        const auto key =
            capital > 0 && capital <= 0xff ? static_cast<Qt::Key>(capital) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, handle, key, typed, Qt::NoModifier);
    }
}

} // namespace qptest
