// The keyboard and screen-reader preparation of windows (KeyboardAccess) and the check
// every window test runs (KeyboardCheck), on small forms built like the program's
// windows: a button bar at the top, labelled fields, a radio group, a grid.
#include "KeyboardCheck.h"
#include "TypeText.h"

#include "ui/HintFilter.h"
#include "ui/KeyboardAccess.h"
#include "ui/TButtonBar.h"
#include "ui/WindowUtils.h"

#include <QAccessible>
#include <QButtonGroup>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

namespace {

// A dialog laid out like the program's: bar at the top, two fields side by side, a radio
// group, a grid and a button of its own. Tab should go Name, Number, the group, the grid,
// Clear, then Help, Accept, Cancel.
class SampleForm final : public QDialog {
public:
    explicit SampleForm(bool prepare) {
        setWindowTitle(QStringLiteral("Sample"));
        auto* layout = new QVBoxLayout(this);
        auto* bar = new TButtonBar(this);
        help = bar->AddButton("Helpbutton", "&Help", "Get help for this window");
        accept = bar->AddButton("OKButton", "&Accept", "Accept changes made and exit");
        cancel = bar->AddButton("Cancelbutton", "Cance&l", "Cancel changes made and exit");
        bar->AddStretch();
        layout->addWidget(bar);

        auto* fields = new QGridLayout;
        auto* nameLabel = new QLabel(QStringLiteral("&Name"), this);
        name = new QLineEdit(this);
        name->setObjectName("Name");
        nameLabel->setBuddy(name);
        TButtonBar::SetHint(name, QStringLiteral("Type the recipient's name here"));
        auto* numberLabel = new QLabel(QStringLiteral("&Fax number:"), this);
        number = new QLineEdit(this);
        number->setObjectName("Number");
        numberLabel->setBuddy(number);
        fields->addWidget(nameLabel, 0, 0);
        fields->addWidget(name, 1, 0);
        fields->addWidget(numberLabel, 0, 1);
        fields->addWidget(number, 1, 1);
        layout->addLayout(fields);

        auto* group = new QGroupBox(QStringLiteral("&Port"), this);
        group->setObjectName("ComPort");
        TButtonBar::SetHint(group, QStringLiteral("Select the port\rof your modem"));
        auto* groupLayout = new QHBoxLayout(group);
        auto* buttons = new QButtonGroup(group);
        for (int i = 0; i < 3; ++i) {
            auto* radio = new QRadioButton(QStringLiteral("Com%1").arg(i + 1), group);
            radio->setObjectName(QStringLiteral("ComPort%1").arg(i));
            buttons->addButton(radio, i);
            groupLayout->addWidget(radio);
            radios.append(radio);
        }
        radios[1]->setChecked(true);
        layout->addWidget(group);

        model = std::make_unique<QStandardItemModel>(2, 2);
        model->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Fax #")});
        grid = new QTableView(this);
        grid->setObjectName("Grid");
        grid->setModel(model.get());
        grid->setTabKeyNavigation(false);
        KeyboardAccess::SetName(grid, QStringLiteral("Entries"));
        layout->addWidget(grid);

        clear = new QPushButton(QStringLiteral("Cl&ear"), this);
        clear->setObjectName("ClearButton");
        layout->addWidget(clear);

        connect(help, &QPushButton::clicked, this, [this] { ++helpClicks; });
        connect(accept, &QPushButton::clicked, this, &QDialog::accept);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        connect(clear, &QPushButton::clicked, this, [this] { ++clearClicks; });
        if (prepare) {
            QList<QWidget*> order{name, number};
            for (QRadioButton* radio : radios) {
                order.append(radio);
            }
            order << grid << clear;
            KeyboardAccess::Prepare(this, order);
        }
    }

    QPushButton* help;
    QPushButton* accept;
    QPushButton* cancel;
    QLineEdit* name;
    QLineEdit* number;
    QList<QRadioButton*> radios;
    std::unique_ptr<QStandardItemModel> model;
    QTableView* grid;
    QPushButton* clear;
    int helpClicks = 0;
    int clearClicks = 0;
};

void ShowActive(QWidget& window) {
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

QStringList Names(const QList<QWidget*>& widgets) {
    QStringList names;
    for (const QWidget* widget : widgets) {
        names << (widget ? widget->objectName() : QStringLiteral("<outside>"));
    }
    return names;
}

bool AnyContains(const QStringList& problems, const QString& part) {
    return std::any_of(problems.begin(), problems.end(),
                       [&part](const QString& problem) { return problem.contains(part); });
}

QString Accessible(QWidget* widget, QAccessible::Text which) {
    return QAccessible::queryAccessibleInterface(widget)->text(which);
}

} // namespace

class KeyboardAccessTest final : public QObject {
    Q_OBJECT

private slots:
    // Captions as a screen reader says them, and their Alt letters.
    void spokenTextAndMnemonic_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("spoken");
        QTest::addColumn<QString>("letter");
        QTest::newRow("plain letter") << "&Name"
                                      << "Name"
                                      << "N";
        QTest::newRow("inside a word") << "Cance&l"
                                       << "Cancel"
                                       << "L";
        QTest::newRow("trailing colon") << "&Dial prefix:"
                                        << "Dial prefix"
                                        << "D";
        QTest::newRow("parentheses stay") << "Your &fax number (Station ID#)"
                                          << "Your fax number (Station ID#)"
                                          << "F";
        QTest::newRow("double ampersand") << "Save && e&xit"
                                          << "Save & exit"
                                          << "X";
        QTest::newRow("only double ampersand") << "Fish && Chips"
                                               << "Fish & Chips"
                                               << "";
        QTest::newRow("line breaks") << "Select the .WAV file from a Windows\rFile Open dialog"
                                     << "Select the .WAV file from a Windows File Open dialog"
                                     << "";
        QTest::newRow("ampersand at the end") << "Tom &"
                                              << "Tom"
                                              << "";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
    }
    void spokenTextAndMnemonic() {
        QFETCH(QString, caption);
        QFETCH(QString, spoken);
        QFETCH(QString, letter);
        QCOMPARE(KeyboardAccess::SpokenText(caption), spoken);
        const QChar mnemonic = KeyboardAccess::Mnemonic(caption);
        QCOMPARE(mnemonic.isNull() ? QString() : QString(mnemonic), letter);
    }

    // A prepared form: the focus starts in the first field, typing lands there without
    // any focus set by the test, Tab follows the fields and leaves the bar for last, and
    // the whole check passes.
    void preparedFormPassesTheCheck() {
        SampleForm form(true);
        ShowActive(form);
        qptest::TypeAtWindow(&form, QStringLiteral("Zoë"));
        QCOMPARE(form.name->text(), QStringLiteral("Zoë"));
        QCOMPARE(Names(qptest::KeyboardCheck::TabChain(&form)),
                 QStringList({"Name", "Number", "ComPort1", "Grid", "ClearButton", "Helpbutton",
                              "OKButton", "Cancelbutton"}));
        QP_VERIFY_KEYBOARD(&form);
        // Tab enters the radio group on its checked button, from either side.
        form.grid->setFocus();
        QTest::keyClick(form.grid, Qt::Key_Tab, Qt::ShiftModifier);
        QTRY_COMPARE(QApplication::focusWidget(), form.radios[1]);
        form.radios[2]->setChecked(true);
        QTest::keyClick(form.radios[1], Qt::Key_Tab, Qt::ShiftModifier);
        QTRY_COMPARE(QApplication::focusWidget(), form.number);
        QTest::keyClick(form.number, Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), form.radios[2]);
    }

    // The same form without preparation is what users met: the focus on the bar's Help
    // button, typing pressing it. The check must say so.
    void unpreparedFormFailsTheCheck() {
        SampleForm form(false);
        ShowActive(form);
        QCOMPARE(QApplication::focusWidget(), form.help);
        const QStringList problems = qptest::KeyboardCheck::Problems(&form);
        QVERIFY2(AnyContains(problems, "the focus starts on QPushButton Helpbutton"),
                 qPrintable(problems.join('\n')));
        QCOMPARE(qptest::KeyboardCheck::ExpectedFirst(&form), form.name);
        // The chain is a circle: a bar built first only puts the start in the wrong place.
        QVERIFY(qptest::KeyboardCheck::TabOrderProblems(&form).isEmpty());
        qptest::TypeAtWindow(&form, QStringLiteral(" "));
        QCOMPARE(form.helpClicks, 1);
    }

    // Fields swapped in the tab chain against their places on screen are found.
    void swappedFieldsAreFound() {
        SampleForm form(true);
        QWidget::setTabOrder(form.number, form.name);
        QWidget::setTabOrder(form.name, form.radios[0]);
        ShowActive(form);
        const QStringList problems = qptest::KeyboardCheck::TabOrderProblems(&form);
        QVERIFY2(AnyContains(problems, "Tab goes"), qPrintable(problems.join('\n')));
    }

    // Names from labels and captions, descriptions from hints, as a screen reader reads
    // them; a radio button says its group's hint; the grid's columns have their titles.
    void namesAndDescriptions() {
        SampleForm form(true);
        ShowActive(form);
        QCOMPARE(Accessible(form.name, QAccessible::Name), QStringLiteral("Name"));
        QCOMPARE(Accessible(form.name, QAccessible::Description),
                 QStringLiteral("Type the recipient's name here"));
        QCOMPARE(Accessible(form.number, QAccessible::Name), QStringLiteral("Fax number"));
        QCOMPARE(Accessible(form.accept, QAccessible::Name), QStringLiteral("Accept"));
        QCOMPARE(Accessible(form.accept, QAccessible::Description),
                 QStringLiteral("Accept changes made and exit"));
        QCOMPARE(Accessible(form.radios[2], QAccessible::Name), QStringLiteral("Com3"));
        QCOMPARE(Accessible(form.radios[2], QAccessible::Description),
                 QStringLiteral("Select the port of your modem"));
        QCOMPARE(Accessible(form.grid, QAccessible::Name), QStringLiteral("Entries"));
        QAccessibleTableInterface* table =
            QAccessible::queryAccessibleInterface(form.grid)->tableInterface();
        QVERIFY(table);
        QCOMPARE(table->columnDescription(1), QStringLiteral("Fax #"));

        // A picture button is named after its hint; an explicit name is kept.
        QDialog dialog;
        auto* layout = new QVBoxLayout(&dialog);
        auto* picture = new QToolButton(&dialog);
        picture->setToolTip(QStringLiteral("Zoom in"));
        auto* named = new QToolButton(&dialog);
        named->setToolTip(QStringLiteral("Print"));
        named->setAccessibleName(QStringLiteral("Print all pages"));
        layout->addWidget(picture);
        layout->addWidget(named);
        KeyboardAccess::Prepare(&dialog, {picture, named});
        QCOMPARE(Accessible(picture, QAccessible::Name), QStringLiteral("Zoom in"));
        QCOMPARE(Accessible(named, QAccessible::Name), QStringLiteral("Print all pages"));
    }

    // What the check reports on a badly built window: shared Alt letters (also inside a
    // menu), a label whose letter leads nowhere, a field without label, a control without
    // name, a grid that keeps Tab for its cells. A hidden control's letter does not count.
    void checkFindsBadControls() {
        QDialog dialog;
        dialog.setWindowTitle(QStringLiteral("Bad"));
        auto* layout = new QVBoxLayout(&dialog);
        auto* menuBar = new QMenuBar(&dialog);
        QMenu* file = menuBar->addMenu(QStringLiteral("&File"));
        file->addAction(QStringLiteral("&Open"));
        file->addAction(QStringLiteral("&Options"));
        layout->setMenuBar(menuBar);
        auto* orphanLabel = new QLabel(QStringLiteral("&Notes"), &dialog);
        auto* unlabelled = new QLineEdit(&dialog);
        unlabelled->setObjectName("Unlabelled");
        auto* picture = new QToolButton(&dialog);
        picture->setObjectName("Picture");
        QStandardItemModel model(2, 2);
        auto* grid = new QTableView(&dialog);
        grid->setObjectName("Cells");
        grid->setModel(&model);
        grid->setAccessibleName(QStringLiteral("Cells"));
        auto* save = new QPushButton(QStringLiteral("&Save"), &dialog);
        auto* send = new QPushButton(QStringLiteral("&Send"), &dialog);
        for (QWidget* widget :
             std::initializer_list<QWidget*>{orphanLabel, unlabelled, picture, grid, save, send}) {
            layout->addWidget(widget);
        }
        ShowActive(dialog);

        const QStringList letters = qptest::KeyboardCheck::MnemonicProblems(&dialog);
        QVERIFY2(AnyContains(letters, "window \"Bad\": Alt+S is used by \"&Save\""),
                 qPrintable(letters.join('\n')));
        QVERIFY2(AnyContains(letters, "menu \"&File\": Alt+O"), qPrintable(letters.join('\n')));
        QVERIFY2(AnyContains(letters, "label \"&Notes\" has an Alt letter but no buddy"),
                 qPrintable(letters.join('\n')));
        const QStringList labels = qptest::KeyboardCheck::LabelProblems(&dialog);
        QVERIFY2(AnyContains(labels, "Unlabelled is no label's buddy"),
                 qPrintable(labels.join('\n')));
        const QStringList names = qptest::KeyboardCheck::NamingProblems(&dialog);
        QVERIFY2(AnyContains(names, "QToolButton Picture has no accessible name"),
                 qPrintable(names.join('\n')));
        QVERIFY2(AnyContains(names, "QLineEdit Unlabelled has no accessible name"),
                 qPrintable(names.join('\n')));
        const QStringList tabs = qptest::KeyboardCheck::TabOrderProblems(&dialog);
        QVERIFY2(AnyContains(tabs, "Tab moves between the cells of QTableView Cells"),
                 qPrintable(tabs.join('\n')));

        send->hide();
        QVERIFY(!AnyContains(qptest::KeyboardCheck::MnemonicProblems(&dialog), "Alt+S"));
    }

    // Enter on a focused button presses it; Enter in a field presses no bar button, even
    // after Tab has passed over the bar (a button once focused must not become the
    // default for good).
    void enterPressesOnlyTheFocusedButton() {
        SampleForm form(true);
        ShowActive(form);
        form.help->setFocus();
        QTest::keyClick(form.help, Qt::Key_Return);
        QCOMPARE(form.helpClicks, 1);
        form.clear->setFocus();
        QTest::keyClick(form.clear, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(form.clearClicks, 1);
        // Round the whole chain and back into the name field.
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), form.name);
        QTest::keyClick(form.name, Qt::Key_Return);
        QCOMPARE(form.helpClicks, 1);
        QCOMPARE(form.clearClicks, 1);
        QVERIFY(form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Rejected));
        // Escape closes the dialog as Cancel does.
        QTest::keyClick(form.name, Qt::Key_Escape);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Rejected));
    }

    // A filled field entered from the keyboard (also as the dialog's first field) has its
    // text selected from the start: a long text shows its beginning, typing replaces it.
    void filledFieldShowsItsStartSelected() {
        SampleForm form(true);
        const QString longName = QStringLiteral("Maximilian Alexander von Rosenthals");
        form.name->setText(longName);
        form.number->setText(QStringLiteral("+49 30 1234567"));
        ShowActive(form);
        QTRY_COMPARE(form.name->selectedText(), longName);
        QTRY_COMPARE(form.name->cursorPosition(), 0);
        QTest::keyClick(form.name, Qt::Key_Tab);
        QTRY_COMPARE(form.number->selectedText(), QStringLiteral("+49 30 1234567"));
        QTRY_COMPARE(form.number->cursorPosition(), 0);
        QTest::keyClick(form.number, Qt::Key_Tab, Qt::ShiftModifier);
        QTRY_COMPARE(form.name->cursorPosition(), 0);
        qptest::TypeAtWindow(&form, QStringLiteral("Ann"));
        QCOMPARE(form.name->text(), QStringLiteral("Ann"));
    }

    // A first field that cannot take the focus (disabled) passes it to the next one.
    void focusSkipsWhatCannotTakeIt() {
        SampleForm form(true);
        form.name->setEnabled(false);
        ShowActive(form);
        QCOMPARE(QApplication::focusWidget(), form.number);
        QP_VERIFY_KEYBOARD(&form);
    }

    // The hint of the control that gets the focus appears on the hint target, as the
    // mouse pointer's does; not with hints off, nor for a control of another window.
    void focusShowsTheHint() {
        HintFilter::Install();
        SampleForm form(true);
        auto* status = new QLabel(&form);
        form.layout()->addWidget(status);
        HintTargetGuard guard(&form, status);
        ShowActive(form);
        QTest::keyClick(form.name, Qt::Key_Tab);
        QTest::keyClick(form.number, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(status->text(), QStringLiteral("Type the recipient's name here"));
        form.help->setFocus();
        QCOMPARE(status->text(), QStringLiteral("Get help for this window"));

        HintFilter::Instance()->SetHintsOn(false);
        form.accept->setFocus();
        QCOMPARE(status->text(), QStringLiteral("Get help for this window"));
        HintFilter::Instance()->SetHintsOn(true);

        SampleForm other(true);
        ShowActive(other);
        other.cancel->setFocus();
        QCOMPARE(status->text(), QStringLiteral("Get help for this window"));
    }
};

QTEST_MAIN(KeyboardAccessTest)
#include "KeyboardAccessTest.moc"
