#include "ui/TFormFields.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "ui/TButtonBar.h"

QGroupBox* TFormFields::RadioGroup(const QString& objectName, const QString& title,
                                   const QStringList& items, int columns, QButtonGroup*& group,
                                   QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(objectName);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setVerticalSpacing(0);
    group = new QButtonGroup(box);
    const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* radio = new QRadioButton(items[i], box);
        radio->setObjectName(objectName + QString::number(i));
        group->addButton(radio, i);
        grid->addWidget(radio, i % rows, i / rows);
    }
    return box;
}

QLineEdit* TFormFields::LabelledEdit(const QString& objectName, const QString& label,
                                     const QString& hint, QWidget* parent, QGridLayout* grid,
                                     int row) {
    auto* caption = new QLabel(label, parent);
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    caption->setBuddy(edit);
    TButtonBar::SetHint(edit, hint);
    grid->addWidget(caption, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

QLineEdit* TFormFields::StackedEdit(const QString& objectName, const QString& label,
                                    const QString& hint, QWidget* parent, QGridLayout* grid,
                                    int row) {
    auto* caption = new QLabel(label, parent);
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    caption->setBuddy(edit);
    TButtonBar::SetHint(edit, hint);
    grid->addWidget(caption, row, 0, 1, 2);
    grid->addWidget(edit, row + 1, 0, 1, 2);
    return edit;
}

int TFormFields::ItemIndex(const QButtonGroup* group) {
    return group->checkedId();
}

void TFormFields::SelectItem(QButtonGroup* group, int index) {
    if (QAbstractButton* button = group->button(index)) {
        button->setChecked(true);
        return;
    }
    // No such item: nothing is selected.
    const bool exclusive = group->exclusive();
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons()) {
        button->setChecked(false);
    }
    group->setExclusive(exclusive);
}
