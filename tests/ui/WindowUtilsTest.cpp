#include "ui/MessageBoxScript.h"
#include "ui/WindowUtils.h"

#include "common/DataFolder.h"
#include "common/IniFile.h"
#include "common/Settings.h"

#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QStatusTipEvent>
#include <QtTest>

#include "ui/HintFilter.h"

// A window class of its own, so its placement section has a known name.
class TPlacementForm : public QWidget {
    Q_OBJECT
};

class WindowUtilsTest : public QObject {
    Q_OBJECT

private:
    static QRect Screen() { return QGuiApplication::primaryScreen()->geometry(); }

    static void WritePlacement(int left, int top, int right, int bottom, bool maximized) {
        IniFile ini(SettingsFileName());
        const std::string section = "TPlacementForm_Placement";
        ini.WriteInteger(section, "Left", left);
        ini.WriteInteger(section, "Top", top);
        ini.WriteInteger(section, "Right", right);
        ini.WriteInteger(section, "Bottom", bottom);
        ini.WriteBool(section, "Maximized", maximized);
        ini.Save();
    }

private slots:
    void init() {
        QFile::remove(QString::fromStdString(SettingsFileName()));
        MessageBoxScript::Reset();
    }

    void placementSectionIsClassNamePlusSuffix() {
        TPlacementForm form;
        QCOMPARE(PlacementSection(&form), QStringLiteral("TPlacementForm_Placement"));
    }

    // A window closed at one place must come back there, and other keys of the settings
    // file must survive the placement writes.
    void placementRoundTrip() {
        IniFile seed(SettingsFileName());
        seed.WriteString("Ports", "Com1", "/dev/ttyUSB0");
        seed.Save();

        TPlacementForm form;
        form.setGeometry(40, 50, 300, 200);
        SaveFormPlacement(&form);
        const IniFile ini(SettingsFileName());
        QCOMPARE(ini.ReadInteger("TPlacementForm_Placement", "Left", -1), 40);
        QCOMPARE(ini.ReadInteger("TPlacementForm_Placement", "Top", -1), 50);
        QCOMPARE(ini.ReadInteger("TPlacementForm_Placement", "Right", -1), 340);
        QCOMPARE(ini.ReadInteger("TPlacementForm_Placement", "Bottom", -1), 250);
        QCOMPARE(ini.ReadBool("TPlacementForm_Placement", "Maximized", true), false);
        QCOMPARE(ini.ReadString("Ports", "Com1", ""), std::string("/dev/ttyUSB0"));

        TPlacementForm other;
        other.setGeometry(0, 0, 100, 100);
        RestoreFormPlacement(&other);
        QCOMPARE(other.geometry(), QRect(40, 50, 300, 200));
    }

    // A rectangle saved on a larger screen is moved back by exactly the overhang, keeping
    // its size.
    void overhangIsMovedBackInside() {
        const QRect screen = Screen();
        WritePlacement(screen.width() - 100, screen.height() - 50, screen.width() + 200,
                       screen.height() + 150, false);
        TPlacementForm form;
        RestoreFormPlacement(&form);
        QCOMPARE(form.geometry(), QRect(screen.width() - 300, screen.height() - 200, 300, 200));
        // Restoring saves at once.
        const IniFile ini(SettingsFileName());
        QCOMPARE(ini.ReadInteger("TPlacementForm_Placement", "Right", 0), screen.width());
    }

    void zeroBottomCentresTheWindow() {
        WritePlacement(10, 10, 500, 0, false);
        TPlacementForm form;
        form.resize(200, 100);
        RestoreFormPlacement(&form);
        const QRect screen = Screen();
        const QRect frame = form.frameGeometry();
        QCOMPARE(frame.left(), screen.left() + (screen.width() - frame.width()) / 2);
        QCOMPARE(frame.top(), screen.top() + (screen.height() - frame.height()) / 2);
        QCOMPARE(form.size(), QSize(200, 100));
    }

    void maximizedIsRestored() {
        WritePlacement(10, 20, 410, 320, true);
        TPlacementForm form;
        RestoreFormPlacement(&form);
        QVERIFY(form.windowState() & Qt::WindowMaximized);
        QCOMPARE(form.normalGeometry(), QRect(10, 20, 400, 300));
    }

    // Dialogs open centred over the main window, or on the screen when the main window is
    // maximised; the offset may be negative when the dialog is larger.
    void centerFormOverMainWindow() {
        QMainWindow main;
        main.setGeometry(100, 100, 400, 300);
        SetMainForm(&main);
        QWidget dialog;
        dialog.resize(600, 200);
        CenterForm(&dialog);
        QCOMPARE(dialog.frameGeometry().left(), 100 + (400 - 600) / 2);
        QCOMPARE(dialog.frameGeometry().top(), 100 + (300 - 200) / 2);

        main.setWindowState(Qt::WindowMaximized);
        CenterForm(&dialog);
        const QRect screen = Screen();
        QCOMPARE(dialog.frameGeometry().left(), (screen.width() - 600) / 2);
        SetMainForm(nullptr);
    }

    void scriptedMessageBoxesAnswerAndRecord() {
        MessageBoxScript::PushAnswer(false);
        MessageBoxScript::PushAnswer(true);
        QVERIFY(!AskYesNo("Exit?", "Exit"));
        QVERIFY(AskYesNoDefaultNo("Delete?", "Delete"));
        MessageBoxScript::PushAnswer(true);
        InfoBox("Done");
        const auto shown = MessageBoxScript::Shown();
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[0].caption, QStringLiteral("Exit"));
        QCOMPARE(shown[2].caption, QStringLiteral("Information"));
        QCOMPARE(shown[2].text, QStringLiteral("Done"));
    }

    // The hint of the widget under the mouse reaches the status label of whichever
    // window is current, and nothing reaches it while hints are off.
    void hintsReachTheCurrentTarget() {
        HintFilter* filter = HintFilter::Install();
        QLabel mainStatus;
        SetHintTarget(&mainStatus);
        QWidget button;
        QStatusTipEvent tip("Create a new fax");
        QApplication::sendEvent(&button, &tip);
        QCOMPARE(mainStatus.text(), QStringLiteral("Create a new fax"));

        {
            QWidget dialog;
            QLabel dialogStatus(&dialog);
            HintTargetGuard guard(&dialog, &dialogStatus);
            QStatusTipEvent dialogTip("Replace the word");
            QApplication::sendEvent(&button, &dialogTip);
            QCOMPARE(dialogStatus.text(), QStringLiteral("Replace the word"));
            QCOMPARE(mainStatus.text(), QStringLiteral("Create a new fax"));
        }
        QCOMPARE(HintTarget(), &mainStatus);

        filter->SetHintsOn(false);
        QStatusTipEvent hidden("Exit the program");
        QApplication::sendEvent(&button, &hidden);
        QCOMPARE(mainStatus.text(), QStringLiteral("Create a new fax"));
        filter->SetHintsOn(true);
        SetHintTarget(nullptr);
    }
};

QTEST_MAIN(WindowUtilsTest)
#include "WindowUtilsTest.moc"
