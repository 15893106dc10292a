#pragma once

#include <QString>
#include <QStringList>

class QButtonGroup;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QWidget;

// Builders for the fields the settings windows share.
class TFormFields {
public:
    // A titled group of radio buttons named objectName + index, in `columns` columns;
    // the items run down the first column, then the next. `group` gets the buttons with
    // their indexes as ids.
    static QGroupBox* RadioGroup(const QString& objectName, const QString& title,
                                 const QStringList& items, int columns, QButtonGroup*& group,
                                 QWidget* parent);
    // A label left of its edit in one row of `grid`; the label is the edit's buddy and the
    // hint is shown for the edit.
    static QLineEdit* LabelledEdit(const QString& objectName, const QString& label,
                                   const QString& hint, QWidget* parent, QGridLayout* grid,
                                   int row);
    // The index of a radio group's checked item, -1 for none.
    static int ItemIndex(const QButtonGroup* group);
    // Checks item `index`; an index without an item leaves none checked.
    static void SelectItem(QButtonGroup* group, int index);
    // A label above its edit, both across two columns of `grid` from `row`.
    static QLineEdit* StackedEdit(const QString& objectName, const QString& label,
                                  const QString& hint, QWidget* parent, QGridLayout* grid, int row);
};
