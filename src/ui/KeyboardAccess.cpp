#include "ui/KeyboardAccess.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QToolButton>
#include <QWidget>

namespace {

// The hint of a control: its status line text, else its pop-up text.
QString HintOf(const QWidget* widget) {
    return widget->statusTip().isEmpty() ? widget->toolTip() : widget->statusTip();
}

bool CanTakeFocus(const QWidget* widget, const QWidget* window) {
    return widget && widget->isEnabled() && widget->isVisibleTo(window) &&
           (widget->focusPolicy() & Qt::TabFocus);
}

// 0 for a control that takes input, 1 for a list or other control, 2 for a button.
int FocusRank(const QWidget* widget) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->isReadOnly() ? 1 : 0;
    }
    if (const auto* text = qobject_cast<const QTextEdit*>(widget)) {
        return text->isReadOnly() ? 1 : 0;
    }
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget)) {
        return plain->isReadOnly() ? 1 : 0;
    }
    if (qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget) ||
        qobject_cast<const QCheckBox*>(widget) || qobject_cast<const QRadioButton*>(widget)) {
        return 0;
    }
    return qobject_cast<const QAbstractButton*>(widget) ? 2 : 1;
}

// The buttons of the window's command bars, each bar in creation order and its buttons
// in the order of its layout (left to right).
QList<QWidget*> CommandBarButtons(QWidget* window) {
    QList<QWidget*> buttons;
    for (QWidget* bar : window->findChildren<QWidget*>()) {
        if (!KeyboardAccess::IsCommandBar(bar) || bar->window() != window || !bar->layout()) {
            continue;
        }
        QLayout* layout = bar->layout();
        for (int i = 0; i < layout->count(); ++i) {
            QWidget* item = layout->itemAt(i)->widget();
            if (item && (item->focusPolicy() & Qt::TabFocus)) {
                buttons.append(item);
            }
        }
    }
    return buttons;
}

// Enter or Return on a focused button presses it, as Space does. Push buttons that are
// (auto-)default handle Enter themselves.
class EnterPressesButton final : public QObject {
public:
    explicit EnterPressesButton(QObject* parent) : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (!enter || modifiers != Qt::NoModifier || !button || !button->hasFocus() ||
            !button->isEnabled()) {
            return false;
        }
        if (auto* push = qobject_cast<QPushButton*>(button);
            push && (push->autoDefault() || push->isDefault())) {
            return false;
        }
        button->click();
        return true;
    }
};

// Tab into an exclusive radio group lands on its checked button (the current choice),
// from either side; the arrow keys move within the group.
class TabToCheckedRadio final : public QObject {
public:
    explicit TabToCheckedRadio(QObject* parent) : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::FocusIn) {
            return false;
        }
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        auto* radio = qobject_cast<QRadioButton*>(watched);
        if (!radio || radio->isChecked() ||
            (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason)) {
            return false;
        }
        QAbstractButton* checked = CheckedPartner(radio);
        if (checked && checked != radio && checked->isEnabled() && checked->isVisible()) {
            QMetaObject::invokeMethod(
                checked, [checked, reason] { checked->setFocus(reason); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    static QAbstractButton* CheckedPartner(const QRadioButton* radio) {
        if (radio->group()) {
            return radio->group()->exclusive() ? radio->group()->checkedButton() : nullptr;
        }
        if (!radio->autoExclusive() || !radio->parentWidget()) {
            return nullptr;
        }
        for (QRadioButton* other : radio->parentWidget()->findChildren<QRadioButton*>(
                 QString(), Qt::FindDirectChildrenOnly)) {
            if (other->isChecked() && other->autoExclusive() && !other->group()) {
                return other;
            }
        }
        return nullptr;
    }
};

// A field entered from the keyboard has its whole text selected (typing replaces it);
// the cursor goes to the start of the text, so that a long text shows its beginning.
class SelectionFromStart final : public QObject {
public:
    explicit SelectionFromStart(QObject* parent) : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            // After the field's own handling, which selects the text.
            QPointer<QLineEdit> edit = qobject_cast<QLineEdit*>(watched);
            QMetaObject::invokeMethod(
                this, [edit] { MoveCursorToStart(edit); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    static void MoveCursorToStart(QLineEdit* edit) {
        if (!edit || !edit->hasFocus()) {
            return;
        }
        const auto length = static_cast<int>(edit->text().size());
        if (length > 0 && edit->selectedText().size() == length) {
            edit->setSelection(length, -length);
        }
    }
};

// Puts the focus back on the first candidate when the window is shown without a usable
// focus widget.
class FocusOnShow final : public QObject {
public:
    FocusOnShow(QWidget* window, const QList<QWidget*>& candidates) : QObject(window) {
        for (QWidget* candidate : candidates) {
            candidates_.append(candidate);
        }
        window->installEventFilter(this);
    }

    // The first input field among the candidates that can take the focus, else the first
    // list or other control that is no button, else the first button.
    void FocusFirst(QWidget* window) const {
        QWidget* chosen = nullptr;
        int chosenRank = 3;
        for (const QPointer<QWidget>& candidate : candidates_) {
            if (!CanTakeFocus(candidate, window)) {
                continue;
            }
            const int rank = FocusRank(candidate);
            if (rank < chosenRank) {
                chosen = candidate;
                chosenRank = rank;
            }
        }
        if (chosen) {
            chosen->setFocus(Qt::OtherFocusReason);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* window = static_cast<QWidget*>(watched);
            const QWidget* current = window->focusWidget();
            if (!current || current == window || !CanTakeFocus(current, window)) {
                FocusFirst(window);
            }
        }
        return false;
    }

private:
    QList<QPointer<QWidget>> candidates_;
};

bool HasDefaultButton(const QWidget* window) {
    for (const QPushButton* button : window->findChildren<QPushButton*>()) {
        if (button->isDefault()) {
            return true;
        }
    }
    return false;
}

} // namespace

void KeyboardAccess::Prepare(QWidget* window, const QList<QWidget*>& order) {
    SetTabOrder(window, order);
    NameControls(window);
    // Without a default button, a push button that once had the focus would become the
    // dialog's default for good and Enter in any field would press it.
    const bool keepAutoDefault = qobject_cast<QDialog*>(window) && HasDefaultButton(window);
    auto* enter = new EnterPressesButton(window);
    auto* radios = new TabToCheckedRadio(window);
    auto* selection = new SelectionFromStart(window);
    for (QLineEdit* edit : window->findChildren<QLineEdit*>()) {
        edit->installEventFilter(selection);
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        auto* push = qobject_cast<QPushButton*>(button);
        if (push && !keepAutoDefault) {
            push->setAutoDefault(false);
        }
        if (push || qobject_cast<QToolButton*>(button)) {
            button->installEventFilter(enter);
        } else if (qobject_cast<QRadioButton*>(button)) {
            button->installEventFilter(radios);
        }
    }
    FocusFirst(window, order);
}

void KeyboardAccess::SetTabOrder(QWidget* window, const QList<QWidget*>& order) {
    QList<QWidget*> chain;
    for (QWidget* widget : order) {
        if (widget) {
            chain.append(widget);
        }
    }
    chain.append(CommandBarButtons(window));
    for (qsizetype i = 1; i < chain.size(); ++i) {
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    }
}

void KeyboardAccess::FocusFirst(QWidget* window, const QList<QWidget*>& candidates) {
    auto* watcher = new FocusOnShow(window, candidates);
    watcher->FocusFirst(window);
}

void KeyboardAccess::NameControls(QWidget* window) {
    for (QLabel* label : window->findChildren<QLabel*>()) {
        QWidget* buddy = label->buddy();
        if (buddy && buddy->accessibleName().isEmpty()) {
            buddy->setAccessibleName(SpokenText(label->text()));
        }
    }
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        QString hint = HintOf(widget);
        if (auto* button = qobject_cast<QAbstractButton*>(widget);
            button && button->text().isEmpty() && button->accessibleName().isEmpty() &&
            !hint.isEmpty()) {
            button->setAccessibleName(SpokenText(hint));
        }
        // A control in a group without a hint of its own (a radio button) has the group's.
        if (hint.isEmpty()) {
            if (auto* group = qobject_cast<QGroupBox*>(widget->parentWidget())) {
                hint = HintOf(group);
            }
        }
        if (widget->accessibleDescription().isEmpty() && !hint.isEmpty()) {
            widget->setAccessibleDescription(SpokenText(hint));
        }
    }
}

void KeyboardAccess::SetName(QWidget* control, const QString& name) {
    control->setAccessibleName(name);
}

void KeyboardAccess::MarkCommandBar(QWidget* bar) {
    bar->setProperty(CommandBarProperty, true);
}

bool KeyboardAccess::IsCommandBar(const QWidget* widget) {
    return widget->property(CommandBarProperty).toBool();
}

QString KeyboardAccess::SpokenText(const QString& caption) {
    QString spoken;
    spoken.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        const QChar c = caption[i];
        if (c == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) {
                spoken += c;
                ++i;
            }
            continue;
        }
        spoken += (c == QLatin1Char('\r') || c == QLatin1Char('\n')) ? QLatin1Char(' ') : c;
    }
    spoken = spoken.simplified();
    if (spoken.endsWith(QLatin1Char(':'))) {
        spoken.chop(1);
        spoken = spoken.trimmed();
    }
    return spoken;
}

QChar KeyboardAccess::Mnemonic(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&')) {
            continue;
        }
        if (caption[i + 1] == QLatin1Char('&')) {
            ++i; // "&&" is a plain ampersand
            continue;
        }
        if (!caption[i + 1].isSpace()) {
            return caption[i + 1].toUpper();
        }
    }
    return {};
}
