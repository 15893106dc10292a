#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QMap>
#include <QStringList>
#include <QWidget>

// Checks over one window that a keyboard or screen-reader user depends on.
namespace composertest {

inline QChar MnemonicOf(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (caption[i + 1] == '&') {
                ++i;
                continue;
            }
            return caption[i + 1].toUpper();
        }
    }
    return {};
}

// Two controls of the window with the same Alt letter, and labels with a letter but no
// field to jump to; empty when there are none.
inline QStringList MnemonicClashes(QWidget* window) {
    QStringList problems;
    QMap<QChar, QString> seen;
    auto note = [&](const QString& caption, const QString& who) {
        const QChar letter = MnemonicOf(caption);
        if (letter.isNull()) {
            return;
        }
        if (seen.contains(letter)) {
            problems << QStringLiteral("%1 and %2 share Alt+%3").arg(seen[letter], who, letter);
        }
        seen[letter] = who;
    };
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        // Buttons a mode hides (Cancel or Close of a browser) or that sit on a notebook page
        // not shown take no Alt letter.
        if (button->window() == window && button->isVisibleTo(window)) {
            note(button->text(), button->objectName());
        }
    }
    for (QLabel* label : window->findChildren<QLabel*>()) {
        // The letters of a notebook page that is not shown are not in use.
        if (label->window() != window || !label->isVisibleTo(window)) {
            continue;
        }
        note(label->text(), label->text());
        if (!MnemonicOf(label->text()).isNull() && !label->buddy()) {
            problems << label->text() + " has no buddy";
        }
    }
    return problems;
}

// Focusable controls without an accessible name.
inline QStringList UnnamedControls(QWidget* window) {
    QStringList problems;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!(control->focusPolicy() & Qt::TabFocus) || control->window() != window ||
            !control->accessibleName().isEmpty() ||
            qobject_cast<QComboBox*>(control->parentWidget())) {
            continue;
        }
        const auto* button = qobject_cast<QAbstractButton*>(control);
        if (button && !button->text().isEmpty()) {
            continue; // a caption is its name
        }
        bool hasBuddyLabel = false; // a buddy label names its field
        for (QLabel* l : window->findChildren<QLabel*>()) {
            hasBuddyLabel = hasBuddyLabel || l->buddy() == control;
        }
        if (!hasBuddyLabel && control->metaObject()->className() != QByteArray("QScrollBar")) {
            problems << QStringLiteral("%1 (%2) has no accessible name")
                            .arg(control->objectName(), control->metaObject()->className());
        }
    }
    return problems;
}

} // namespace composertest

#include <QImage>
#include <QPixmap>
#include <QString>

#include "common/DataFolder.h"

namespace composertest {

// Saves a picture of the window into the data folder and, when QP_SCREENSHOT_DIR is set
// (screenshots taken under Xvfb for a person to look at), into that folder too.
inline bool SaveShot(QWidget* window, const QString& name) {
    const QImage image = window->grab().toImage();
    if (image.isNull() || !image.save(QString::fromStdString(DataFolder()) + name + ".png")) {
        return false;
    }
    const QByteArray folder = qgetenv("QP_SCREENSHOT_DIR");
    return folder.isEmpty() || image.save(QString::fromLocal8Bit(folder) + "/" + name + ".png");
}

} // namespace composertest
