#include "KeyboardCheck.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTextEdit>
#include <QtTest>

#include <algorithm>
#include <climits>

namespace qptest {

namespace {

// More presses than any window has controls: the walk stops there.
constexpr int MaxPresses = 300;
// Presses that leave the focus on one control before it counts as holding on to Tab
// (a help text walks its links first).
constexpr int MaxPressesOnOneControl = 60;

enum class Kind { Input, Button, Other };

Kind KindOf(const QWidget* widget) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->isReadOnly() ? Kind::Other : Kind::Input;
    }
    if (const auto* text = qobject_cast<const QTextEdit*>(widget)) {
        return text->isReadOnly() ? Kind::Other : Kind::Input;
    }
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget)) {
        return plain->isReadOnly() ? Kind::Other : Kind::Input;
    }
    if (qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget) ||
        qobject_cast<const QCheckBox*>(widget) || qobject_cast<const QRadioButton*>(widget) ||
        (qobject_cast<const QAbstractSlider*>(widget) &&
         !qobject_cast<const QScrollBar*>(widget))) {
        return Kind::Input;
    }
    if (qobject_cast<const QAbstractButton*>(widget)) {
        return Kind::Button;
    }
    return Kind::Other;
}

QRect RectIn(const QWidget* widget, const QWidget* window) {
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

bool IsAncestor(const QWidget* ancestor, const QWidget* widget) {
    for (const QWidget* w = widget->parentWidget(); w; w = w->parentWidget()) {
        if (w == ancestor) {
            return true;
        }
    }
    return false;
}

bool Focusable(const QWidget* widget, const QWidget* window) {
    return widget->window() == window && (widget->focusPolicy() & Qt::TabFocus) &&
           widget->isVisibleTo(window) && !widget->focusProxy();
}

// The controls Tab can reach (or could, once enabled), without the parts of composite
// controls (a scroll area's inner widgets).
QList<QWidget*> Stops(QWidget* window, bool includeDisabled) {
    QList<QWidget*> focusable;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (Focusable(widget, window)) {
            focusable.append(widget);
        }
    }
    QList<QWidget*> stops;
    for (QWidget* widget : focusable) {
        const bool inner = std::any_of(focusable.begin(), focusable.end(),
                                       [&](QWidget* other) { return IsAncestor(other, widget); });
        if (!inner && (includeDisabled || widget->isEnabled())) {
            stops.append(widget);
        }
    }
    return stops;
}

// An exclusive radio group is one Tab stop: Tab reaches only its checked button. So is an
// exclusive group of toggle buttons (page buttons of a notebook).
const QObject* UnitOf(const QWidget* widget) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget);
        button && button->isCheckable() && button->group() && button->group()->exclusive()) {
        return button->group();
    }
    if (const auto* radio = qobject_cast<const QRadioButton*>(widget)) {
        if (radio->group() && radio->group()->exclusive()) {
            return radio->group();
        }
        if (radio->autoExclusive()) {
            return radio->parentWidget();
        }
    }
    return widget;
}

QList<const QObject*> Units(const QList<QWidget*>& widgets) {
    QList<const QObject*> units;
    for (const QWidget* widget : widgets) {
        const QObject* unit = widget ? UnitOf(widget) : nullptr;
        if (units.isEmpty() || units.last() != unit) {
            units.append(unit);
        }
    }
    return units;
}

struct Item {
    QWidget* widget;
    QRect rect;
    bool isStop;
    bool buttonsOnly;
};

// Sorts items as they are read: rows top to bottom (a row holds the items whose top lies
// above the middle of its first item), each row left to right.
void ReadingOrder(QList<Item>& items) {
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        return a.rect.top() != b.rect.top() ? a.rect.top() < b.rect.top()
                                            : a.rect.left() < b.rect.left();
    });
    QList<Item> sorted;
    qsizetype start = 0;
    while (start < items.size()) {
        qsizetype end = start + 1;
        const int rowMiddle = items[start].rect.center().y();
        while (end < items.size() && items[end].rect.top() < rowMiddle) {
            ++end;
        }
        QList<Item> row = items.mid(start, end - start);
        std::stable_sort(row.begin(), row.end(), [](const Item& a, const Item& b) {
            return a.rect.left() < b.rect.left();
        });
        sorted.append(row);
        start = end;
    }
    items = sorted;
}

QList<QWidget*> StopsInside(const QWidget* container, const QList<QWidget*>& stops) {
    QList<QWidget*> inside;
    for (QWidget* stop : stops) {
        if (IsAncestor(container, stop)) {
            inside.append(stop);
        }
    }
    return inside;
}

bool AllButtons(const QList<QWidget*>& stops) {
    return std::all_of(stops.begin(), stops.end(),
                       [](const QWidget* stop) { return KindOf(stop) == Kind::Button; });
}

// The order inside one container: its fields and panels in reading order, then its
// buttons (and panels of buttons) in reading order; panels as blocks.
QList<QWidget*> OrderIn(QWidget* container, const QList<QWidget*>& stops, const QWidget* window) {
    QList<Item> fields;
    QList<Item> buttons;
    for (QObject* child : container->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->window() != window) {
            continue;
        }
        if (stops.contains(widget)) {
            Item item{widget, RectIn(widget, window), true, KindOf(widget) == Kind::Button};
            (item.buttonsOnly ? buttons : fields).append(item);
            continue;
        }
        const QList<QWidget*> inside = StopsInside(widget, stops);
        if (!inside.isEmpty()) {
            Item item{widget, RectIn(widget, window), false, AllButtons(inside)};
            (item.buttonsOnly ? buttons : fields).append(item);
        }
    }
    ReadingOrder(fields);
    ReadingOrder(buttons);
    QList<QWidget*> order;
    for (const Item& item : fields + buttons) {
        if (item.isStop) {
            order.append(item.widget);
        } else {
            order.append(OrderIn(item.widget, stops, window));
        }
    }
    return order;
}

// Panels of buttons that lie above every field outside them: the window's top command
// bar. Its buttons come last; a field it holds (a description beside the buttons) keeps
// its place among the fields.
QList<QWidget*> TopBars(QWidget* window, const QList<QWidget*>& stops) {
    QList<QWidget*> bars;
    for (const QWidget* stop : stops) {
        QWidget* panel = stop->parentWidget();
        if (KindOf(stop) != Kind::Button || panel == window || bars.contains(panel)) {
            continue;
        }
        // A panel holding fields is a bar only above other fields (not the one panel of
        // a form that holds them all).
        const bool mixed = !AllButtons(StopsInside(panel, stops));
        int firstFieldTop = INT_MAX;
        int firstOtherTop = INT_MAX;
        for (const QWidget* other : stops) {
            if (IsAncestor(panel, other)) {
                continue;
            }
            firstOtherTop = std::min(firstOtherTop, RectIn(other, window).top());
            if (KindOf(other) != Kind::Button) {
                firstFieldTop = std::min(firstFieldTop, RectIn(other, window).top());
            }
        }
        const QRect place = RectIn(panel, window);
        // ... and only at the very top (a toolbar under the bar is no bar).
        const bool topmost = firstFieldTop != INT_MAX && place.top() <= firstOtherTop;
        if ((!mixed || topmost) && place.bottom() <= firstFieldTop) {
            bars.append(panel);
        }
    }
    return bars;
}

QString DescribeUnit(const QObject* unit, const QList<QWidget*>& widgets) {
    if (!unit) {
        return QStringLiteral("<outside the window>");
    }
    for (const QWidget* widget : widgets) {
        if (widget && UnitOf(widget) == unit) {
            return widget == unit
                       ? KeyboardCheck::Describe(widget)
                       : QStringLiteral("radio group of ") + KeyboardCheck::Describe(widget);
        }
    }
    return QStringLiteral("<unknown>");
}

QString DescribeUnits(const QList<const QObject*>& units, const QList<QWidget*>& widgets) {
    QStringList names;
    for (const QObject* unit : units) {
        names << DescribeUnit(unit, widgets);
    }
    return names.join(QStringLiteral(" -> "));
}

QString AccessibleText(QWidget* widget, QAccessible::Text which) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(which).trimmed() : QString();
}

QString HintOf(const QWidget* widget) {
    return widget->statusTip().isEmpty() ? widget->toolTip() : widget->statusTip();
}

bool ShowsMnemonic(const QLabel* label) {
    return label->textFormat() == Qt::PlainText ||
           (label->textFormat() == Qt::AutoText && !Qt::mightBeRichText(label->text()));
}

// Alt letters of the controls of one scope (the window, or one menu), each with its owner.
using LetterOwners = QMap<QString, QStringList>;

void AddLetter(LetterOwners& owners, const QString& caption, const QString& owner) {
    const QKeySequence letter = QKeySequence::mnemonic(caption);
    if (!letter.isEmpty()) {
        owners[letter.toString()].append(QStringLiteral("\"%1\" (%2)").arg(caption, owner));
    }
}

QStringList Clashes(const LetterOwners& owners, const QString& scope) {
    QStringList problems;
    for (auto it = owners.begin(); it != owners.end(); ++it) {
        if (it.value().size() > 1) {
            problems << QStringLiteral("%1: %2 is used by %3")
                            .arg(scope, it.key(), it.value().join(QStringLiteral(", ")));
        }
    }
    return problems;
}

void CheckMenu(const QMenu* menu, QStringList& problems) {
    LetterOwners owners;
    for (const QAction* action : menu->actions()) {
        if (!action->isVisible() || action->isSeparator()) {
            continue;
        }
        AddLetter(owners, action->text(), QStringLiteral("menu item"));
        if (action->menu()) {
            CheckMenu(action->menu(), problems);
        }
    }
    problems << Clashes(owners, QStringLiteral("menu \"%1\"").arg(menu->title()));
}

void EnsureActive(QWidget* window) {
    if (!window->isActiveWindow()) {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window)) {
            qWarning("KeyboardCheck: %s is not the active window",
                     qPrintable(window->objectName()));
        }
    }
}

// A text editor that takes Tab as text is left with Ctrl+Tab (Ctrl+Shift+Tab backwards).
bool TakesTabAsText(const QWidget* widget) {
    if (const auto* text = qobject_cast<const QTextEdit*>(widget)) {
        return !text->isReadOnly() && !text->tabChangesFocus();
    }
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget)) {
        return !plain->isReadOnly() && !plain->tabChangesFocus();
    }
    return false;
}

QWidget* FocusOf(QWidget* window) {
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus->window() == window) {
        return focus;
    }
    return window->focusWidget();
}

} // namespace

QString KeyboardCheck::Describe(const QWidget* widget) {
    if (!widget) {
        return QStringLiteral("<none>");
    }
    QString text = QString::fromLatin1(widget->metaObject()->className());
    if (!widget->objectName().isEmpty()) {
        text += QStringLiteral(" %1").arg(widget->objectName());
    }
    const QString name = AccessibleText(const_cast<QWidget*>(widget), QAccessible::Name);
    if (!name.isEmpty()) {
        text += QStringLiteral(" \"%1\"").arg(name);
    }
    return text;
}

QList<QWidget*> KeyboardCheck::ExpectedOrder(QWidget* window) {
    const QList<QWidget*> stops = Stops(window, false);
    const QList<QWidget*> bars = TopBars(window, stops);
    QList<QWidget*> body;
    QList<Item> barItems;
    for (QWidget* stop : stops) {
        const bool inBar = KindOf(stop) == Kind::Button &&
                           std::any_of(bars.begin(), bars.end(), [stop](const QWidget* bar) {
                               return IsAncestor(bar, stop);
                           });
        if (inBar) {
            barItems.append(Item{stop, RectIn(stop, window), true, true});
        } else {
            body.append(stop);
        }
    }
    ReadingOrder(barItems);
    QList<QWidget*> order = OrderIn(window, body, window);
    for (const Item& item : barItems) {
        order.append(item.widget);
    }
    return order;
}

QWidget* KeyboardCheck::ExpectedFirst(QWidget* window) {
    const QList<QWidget*> order = ExpectedOrder(window);
    for (Kind kind : {Kind::Input, Kind::Other, Kind::Button}) {
        for (QWidget* widget : order) {
            if (KindOf(widget) == kind) {
                return widget;
            }
        }
    }
    return nullptr;
}

namespace {

// The cursor and selection of the window's edit fields. Tab selects the whole text of a
// field it enters; the walk puts them back so that typing afterwards goes where it would
// have gone.
class EditStates {
public:
    explicit EditStates(QWidget* window) {
        for (QLineEdit* edit : window->findChildren<QLineEdit*>()) {
            states_.append({edit, edit->cursorPosition(), edit->selectionStart(),
                            static_cast<int>(edit->selectedText().size())});
        }
    }
    ~EditStates() {
        for (const State& state : states_) {
            if (!state.edit) {
                continue;
            }
            state.edit->deselect();
            if (state.selectionStart < 0) {
                state.edit->setCursorPosition(state.cursor);
            } else if (state.cursor == state.selectionStart) { // selected backwards
                state.edit->setSelection(state.selectionStart + state.selectionLength,
                                         -state.selectionLength);
            } else {
                state.edit->setSelection(state.selectionStart, state.selectionLength);
            }
        }
    }
    EditStates(const EditStates&) = delete;
    EditStates& operator=(const EditStates&) = delete;

private:
    struct State {
        QPointer<QLineEdit> edit;
        int cursor;
        int selectionStart;
        int selectionLength;
    };
    QList<State> states_;
};

} // namespace

QList<QWidget*> KeyboardCheck::TabChain(QWidget* window, bool backwards) {
    EnsureActive(window);
    QWidget* start = FocusOf(window);
    if (!start) {
        return {};
    }
    const EditStates edits(window);
    start->setFocus(Qt::OtherFocusReason);
    QList<QWidget*> chain{start};
    QWidget* current = start;
    int pressesHere = 0;
    for (int press = 0; press < MaxPresses; ++press) {
        Qt::KeyboardModifiers modifiers = backwards ? Qt::ShiftModifier : Qt::NoModifier;
        if (TakesTabAsText(current)) {
            modifiers |= Qt::ControlModifier;
        }
        QTest::keyClick(current, Qt::Key_Tab, modifiers);
        // What the window queued in answer to the key runs before the next one, as it does
        // between a user's key presses.
        QCoreApplication::processEvents();
        QWidget* next = QApplication::focusWidget();
        if (!next || next->window() != window) {
            chain.append(nullptr); // the focus left the window
            break;
        }
        if (next == current) {
            if (++pressesHere > MaxPressesOnOneControl) {
                chain.append(current); // holds on to Tab
                break;
            }
            continue;
        }
        pressesHere = 0;
        if (next == start) {
            break;
        }
        chain.append(next);
        current = next;
    }
    start->setFocus(Qt::OtherFocusReason);
    return chain;
}

QStringList KeyboardCheck::TabOrderProblems(QWidget* window) {
    QStringList problems;
    for (QWidget* stop : Stops(window, true)) {
        if (const auto* view = qobject_cast<QAbstractItemView*>(stop);
            view && view->tabKeyNavigation()) {
            problems << QStringLiteral("Tab moves between the cells of %1 instead of to the next "
                                       "control")
                            .arg(Describe(stop));
        }
    }
    const QList<QWidget*> expected = ExpectedOrder(window);
    const QList<const QObject*> expectedUnits = Units(expected);
    for (bool backwards : {false, true}) {
        const QList<QWidget*> chain = TabChain(window, backwards);
        if (chain.isEmpty()) {
            problems << QStringLiteral("no control has the focus; Tab cannot be followed");
            break;
        }
        const QList<const QObject*> actual = Units(chain);
        const qsizetype at = expectedUnits.indexOf(actual.first());
        if (at < 0) {
            problems << QStringLiteral("the focus is on %1, which is no Tab stop of the window")
                            .arg(Describe(chain.first()));
            break;
        }
        // The expected order, starting where the focus is, in the direction of the walk.
        QList<const QObject*> wanted;
        for (qsizetype i = 0; i < expectedUnits.size(); ++i) {
            const qsizetype step = backwards ? -i : i;
            const qsizetype size = expectedUnits.size();
            wanted.append(expectedUnits[((at + step) % size + size) % size]);
        }
        if (actual != wanted) {
            QList<QWidget*> all = expected;
            all.append(chain);
            problems << QStringLiteral("%1 goes %2\n    expected %3")
                            .arg(backwards ? QStringLiteral("Shift+Tab") : QStringLiteral("Tab"),
                                 DescribeUnits(actual, all), DescribeUnits(wanted, all));
        }
    }
    return problems;
}

QStringList KeyboardCheck::FocusProblems(QWidget* window) {
    EnsureActive(window);
    QWidget* focus = FocusOf(window);
    QWidget* expected = ExpectedFirst(window);
    if (!expected || (focus && UnitOf(focus) == UnitOf(expected))) {
        return {};
    }
    return {QStringLiteral("the focus starts on %1 instead of %2")
                .arg(Describe(focus), Describe(expected))};
}

QStringList KeyboardCheck::NamingProblems(QWidget* window) {
    QStringList problems;
    for (QWidget* stop : Stops(window, true)) {
        if (AccessibleText(stop, QAccessible::Name).isEmpty()) {
            problems << QStringLiteral("%1 has no accessible name").arg(Describe(stop));
        }
        if (!HintOf(stop).isEmpty() && AccessibleText(stop, QAccessible::Description).isEmpty()) {
            problems << QStringLiteral("%1 has a hint but no accessible description")
                            .arg(Describe(stop));
        }
        auto* grid = qobject_cast<QTableView*>(stop);
        if (!grid || !grid->model()) {
            continue;
        }
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(grid);
        QAccessibleTableInterface* table = face ? face->tableInterface() : nullptr;
        if (!table) {
            problems << QStringLiteral("%1 is not exposed as a table").arg(Describe(stop));
            continue;
        }
        for (int column = 0; column < grid->model()->columnCount(); ++column) {
            if (!grid->isColumnHidden(column) && table->columnDescription(column).isEmpty()) {
                problems << QStringLiteral("column %1 of %2 has no title for a screen reader")
                                .arg(column)
                                .arg(Describe(stop));
            }
        }
    }
    return problems;
}

QStringList KeyboardCheck::MnemonicProblems(QWidget* window) {
    QStringList problems;
    LetterOwners owners;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->window() != window || !widget->isVisibleTo(window)) {
            continue;
        }
        const QString owner = Describe(widget);
        if (const auto* button = qobject_cast<QAbstractButton*>(widget)) {
            AddLetter(owners, button->text(), owner);
        } else if (const auto* label = qobject_cast<QLabel*>(widget)) {
            if (!ShowsMnemonic(label)) {
                continue;
            }
            if (label->buddy()) {
                AddLetter(owners, label->text(), owner);
            } else if (!QKeySequence::mnemonic(label->text()).isEmpty()) {
                problems << QStringLiteral("label \"%1\" has an Alt letter but no buddy")
                                .arg(label->text());
            }
        } else if (const auto* group = qobject_cast<QGroupBox*>(widget)) {
            AddLetter(owners, group->title(), owner);
        } else if (const auto* tabs = qobject_cast<QTabBar*>(widget)) {
            for (int i = 0; i < tabs->count(); ++i) {
                AddLetter(owners, tabs->tabText(i), owner);
            }
        } else if (const auto* menuBar = qobject_cast<QMenuBar*>(widget)) {
            for (const QAction* action : menuBar->actions()) {
                if (!action->isVisible()) {
                    continue;
                }
                AddLetter(owners, action->text(), QStringLiteral("menu"));
                if (action->menu()) {
                    CheckMenu(action->menu(), problems);
                }
            }
        }
    }
    problems << Clashes(owners, QStringLiteral("window \"%1\"").arg(window->windowTitle()));
    return problems;
}

QStringList KeyboardCheck::LabelProblems(QWidget* window) {
    QList<const QWidget*> buddies;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->buddy() && label->isVisibleTo(window)) {
            buddies.append(label->buddy());
        }
    }
    QStringList problems;
    for (QWidget* stop : Stops(window, true)) {
        const bool singleLine = qobject_cast<QLineEdit*>(stop) || qobject_cast<QComboBox*>(stop) ||
                                qobject_cast<QAbstractSpinBox*>(stop);
        if (singleLine && !buddies.contains(stop)) {
            problems << QStringLiteral("%1 is no label's buddy").arg(Describe(stop));
        }
    }
    return problems;
}

QStringList KeyboardCheck::Problems(QWidget* window) {
    if (!window || !window->isVisible()) {
        return {QStringLiteral("the window is not shown")};
    }
    QStringList problems;
    problems << FocusProblems(window);
    problems << NamingProblems(window);
    problems << MnemonicProblems(window);
    problems << LabelProblems(window);
    problems << TabOrderProblems(window);
    return problems;
}

} // namespace qptest
