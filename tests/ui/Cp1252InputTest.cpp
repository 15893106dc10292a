// Edit fields whose text ends up in Windows-1252 table columns: characters the code page
// cannot hold are replaced by a close letter or refused as they are typed, and the status
// line says so, instead of the table storing "?".
#include "ui/Cp1252Input.h"
#include "ui/WindowUtils.h"

#include "TypeText.h"

#include <QLabel>
#include <QLineEdit>
#include <QtTest>

class Cp1252InputTest : public QObject {
    Q_OBJECT

private slots:
    void fitsTextToTheCodePage_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("replaced");
        QTest::addColumn<QStringList>("refused");
        QTest::newRow("polish, czech, japanese")
            << QString::fromUtf8("Łukasz Dvořák 日本") << QString::fromUtf8("Lukasz Dvorák ")
            << QStringList{"\"Ł\" as \"L\"", "\"ř\" as \"r\""} << QStringList{"日", "本"};
        QTest::newRow("all in the code page")
            << QString::fromUtf8("Zoë – “naïve” €5 Šárka")
            << QString::fromUtf8("Zoë – “naïve” €5 Šárka") << QStringList{} << QStringList{};
        QTest::newRow("accent kept where the code page has it")
            << QString::fromUtf8("ǻ") << QString::fromUtf8("å") << QStringList{"\"ǻ\" as \"å\""}
            << QStringList{};
        QTest::newRow("combining accent joins its letter")
            << QString::fromUtf8("Rene\xCC\x81") << QString::fromUtf8("René") << QStringList{}
            << QStringList{};
        QTest::newRow("character outside the basic plane, once")
            << QString::fromUtf8("ok 😀😀") << QString("ok ") << QStringList{}
            << QStringList{QString::fromUtf8("😀")};
        QTest::newRow("lone combining mark")
            << QString::fromUtf8("\xCC\x81x") << QString("x") << QStringList{}
            << QStringList{QString::fromUtf8("\xCC\x81")};
    }
    void fitsTextToTheCodePage() {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QStringList, replaced);
        QFETCH(QStringList, refused);
        const Cp1252Input::Fitted fitted = Cp1252Input::Fit(typed);
        QCOMPARE(fitted.text, stored);
        QCOMPARE(fitted.replaced, replaced);
        QCOMPARE(fitted.refused, refused);
        QCOMPARE(Cp1252Input::Message(fitted).isEmpty(), replaced.isEmpty() && refused.isEmpty());
    }

    // Typing into a restricted field: the text keeps what the column can hold, the cursor
    // stays where the user types, and the status line names the changed characters.
    void typingIntoARestrictedField() {
        QLabel status;
        SetHintTarget(&status);
        QLineEdit edit;
        edit.setMaxLength(35);
        Cp1252Input::Restrict(&edit);
        qptest::TypeText(&edit, QString::fromUtf8("Łukasz Dvořák 日本"));
        QCOMPARE(edit.text(), QString::fromUtf8("Lukasz Dvorák "));
        QCOMPARE(edit.cursorPosition(), int(edit.text().size()));
        QVERIFY2(status.text().contains(QString::fromUtf8("\"本\" cannot be stored")),
                 qPrintable(status.text()));

        // In the middle of the text.
        edit.setText("AB");
        edit.setCursorPosition(1);
        status.clear();
        qptest::TypeText(&edit, QString::fromUtf8("ł"));
        QCOMPARE(edit.text(), QString("AlB"));
        QCOMPARE(edit.cursorPosition(), 2);
        QCOMPARE(status.text(), QString::fromUtf8("Written \"ł\" as \"l\""));

        // Text set by the program is left alone; plain typing says nothing.
        status.clear();
        edit.setText(QString::fromUtf8("日"));
        QCOMPARE(edit.text(), QString::fromUtf8("日"));
        edit.clear();
        QTest::keyClicks(&edit, "plain");
        QVERIFY(status.text().isEmpty());
        SetHintTarget(nullptr);
    }
};

QTEST_MAIN(Cp1252InputTest)
#include "Cp1252InputTest.moc"
