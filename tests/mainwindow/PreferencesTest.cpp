// The preferences dialog: filling from and copying back to the settings, the sound file
// controls, the welcome box and the default font.
#include "ModalAnswer.h"
#include "StoreFixtures.h"

#include "ui/MessageBoxScript.h"
#include "app/TMainScreen.h"
#include "common/IniFile.h"
#include "common/Settings.h"
#include "dialogs/TPreferences.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSoundEffect>
#include <QtTest>

#include <fcntl.h>
#include <filesystem>
#include <stdlib.h>
#include <unistd.h>

#include "TestPaths.h"

using namespace fixtures;

namespace {

// A pseudo-terminal that stands in for a modem's device.
class TerminalPair {
public:
    ~TerminalPair() {
        if (master_ >= 0) {
            ::close(master_);
        }
    }
    bool Open() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        return master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0;
    }
    std::string SlaveName() const { return ::ptsname(master_); }

private:
    int master_ = -1;
};

QLineEdit* Edit(TPreferences& dialog, const char* name) {
    return dialog.findChild<QLineEdit*>(name);
}

QRadioButton* Item(TPreferences& dialog, const char* group, int index) {
    return dialog.findChild<QRadioButton*>(QString::fromLatin1(group) + QString::number(index));
}

} // namespace

class PreferencesTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        MessageBoxScript::Reset();
        ClearDataFolder();
        LoadSettings();
    }

    // Every control shows its setting, and Accept copies each one back.
    void roundTripsEverySetting() {
        QpSettings settings;
        settings.userName = "Ann Baker";
        settings.userFax = "+1 555 0100";
        settings.comPort = 2;
        settings.faxClass = 3;
        settings.initString = "S7=60";
        settings.maximumBps = 14400;
        settings.dialPrefix = "9,";
        settings.toneOrPulse = 1;
        settings.dialAttempts = 5;
        settings.retryWait = 90;
        settings.dialTimeout = 45;
        settings.blindDial = true;
        settings.ignoreBusy = true;
        settings.answerOnRing = 3;
        settings.receiveAtStartup = true;
        settings.receiveWav = "/nowhere/ring.wav"; // kept as typed though missing

        TPreferences dialog(false);
        dialog.LoadFrom(settings);
        QCOMPARE(Edit(dialog, "Name")->text(), QStringLiteral("Ann Baker"));
        QVERIFY(Item(dialog, "ComPort", 2)->isChecked());
        QVERIFY(Item(dialog, "FaxClass", 3)->isChecked());
        QVERIFY(Item(dialog, "AnswerOnRing", 2)->isChecked());
        QCOMPARE(dialog.findChild<QComboBox*>("TransferRate")->currentText(),
                 QStringLiteral("14400"));
        QCOMPARE(Edit(dialog, "TimeOut")->text(), QStringLiteral("45"));

        QpSettings back;
        dialog.StoreTo(back);
        QCOMPARE(back.userName, settings.userName);
        QCOMPARE(back.userFax, settings.userFax);
        QCOMPARE(back.comPort, 2);
        QCOMPARE(back.faxClass, 3);
        QCOMPARE(back.initString, settings.initString);
        QCOMPARE(back.maximumBps, 14400);
        QCOMPARE(back.dialPrefix, settings.dialPrefix);
        QCOMPARE(back.toneOrPulse, 1);
        QCOMPARE(back.dialAttempts, 5);
        QCOMPARE(back.retryWait, 90);
        QCOMPARE(back.dialTimeout, 45);
        QVERIFY(back.blindDial);
        QVERIFY(back.ignoreBusy);
        QCOMPARE(back.answerOnRing, 3);
        QVERIFY(back.receiveAtStartup);
        QCOMPARE(back.receiveWav, settings.receiveWav);
    }

    // With two USB modems behind the by-id folder and no [Ports] keys, Com1 and Com2 show
    // their makers and models, the other ports their devices or nothing; the hint names
    // the device each one opens.
    void portsShowTheirDevices() {
        qptest::ScratchDir byId("by-id");
        TerminalPair first;
        TerminalPair second;
        TerminalPair third;
        QVERIFY(first.Open() && second.Open() && third.Open());
        std::filesystem::create_symlink(first.SlaveName(),
                                        byId.path() / "usb-USRobotics_USB_Modem_0000001-if00");
        std::filesystem::create_symlink(second.SlaveName(),
                                        byId.path() / "usb-Zoom_Telephonics_3095-if00");
        std::filesystem::create_symlink(third.SlaveName(),
                                        byId.path() / "usb-Zz\\x26Co_Modem-if00");
        qputenv("QUILLPOST_SERIAL_BY_ID", QByteArray::fromStdString(byId.path().string()));

        TPreferences dialog(false);
        qunsetenv("QUILLPOST_SERIAL_BY_ID");
        const QString firstName = QString::fromStdString(first.SlaveName()).mid(5);
        QCOMPARE(Item(dialog, "ComPort", 0)->accessibleName(),
                 "Com1  USRobotics USB Modem (" + firstName + ")");
        QVERIFY(Item(dialog, "ComPort", 0)->text().startsWith("Com1  USRobotics USB Modem"));
        QVERIFY(Item(dialog, "ComPort", 1)->text().startsWith("Com2  Zoom Telephonics 3095"));
        QVERIFY(Item(dialog, "ComPort", 0)->statusTip().contains("usb-USRobotics_USB_Modem"));
        // A maker's "&" shows as itself, not as a mnemonic.
        QVERIFY2(Item(dialog, "ComPort", 2)->text().startsWith("Com3  Zz&&Co Modem"),
                 qPrintable(Item(dialog, "ComPort", 2)->text()));
        for (int index = 3; index < 6; ++index) {
            QVERIFY(Item(dialog, "ComPort", index)
                        ->text()
                        .startsWith("Com" + QString::number(index + 1)));
        }
        // The choice is still stored as the port's index.
        Item(dialog, "ComPort", 1)->setChecked(true);
        QpSettings back;
        dialog.StoreTo(back);
        QCOMPARE(back.comPort, 1);
    }

    // Rates outside the list show the 9600 entry and are written back as 9600.
    void unknownRateBecomes9600_data() {
        QTest::addColumn<int>("stored");
        QTest::newRow("9601") << 9601;
        QTest::newRow("19200") << 19200;
        QTest::newRow("0") << 0;
    }
    void unknownRateBecomes9600() {
        QFETCH(int, stored);
        QpSettings settings;
        settings.maximumBps = stored;
        TPreferences dialog(false);
        dialog.LoadFrom(settings);
        QCOMPARE(dialog.findChild<QComboBox*>("TransferRate")->currentText(),
                 QStringLiteral("9600"));
        dialog.StoreTo(settings);
        QCOMPARE(settings.maximumBps, 9600);
    }

    // A number field that is not a whole number keeps its setting; the others are taken.
    void badNumbersKeepTheirSettings() {
        QpSettings settings;
        settings.dialAttempts = 4;
        settings.retryWait = 30;
        settings.dialTimeout = 50;
        TPreferences dialog(false);
        dialog.LoadFrom(settings);
        Edit(dialog, "DialAttempts")->setText("three");
        Edit(dialog, "RetryWait")->setText("12.5");
        Edit(dialog, "TimeOut")->setText(" 75 ");
        Edit(dialog, "Name")->setText("Changed");
        dialog.StoreTo(settings);
        QCOMPARE(settings.dialAttempts, 4);
        QCOMPARE(settings.retryWait, 30);
        QCOMPARE(settings.dialTimeout, 75);
        QCOMPARE(settings.userName, std::string("Changed"));
    }

    // Field limits: a name of 35 characters, a fax number of 20.
    void editLimits() {
        TPreferences dialog(false);
        QLineEdit* name = Edit(dialog, "Name");
        QTest::keyClicks(name, QString(40, QChar('a')));
        QCOMPARE(name->text().size(), 35);
        QLineEdit* fax = Edit(dialog, "FaxNumber");
        QTest::keyClicks(fax, QString(25, QChar('1')));
        QCOMPARE(fax->text().size(), 20);
    }

    // "None" clears the sound file; "Play Now" with a missing file does nothing.
    void soundFileControls() {
        TPreferences dialog(false);
        QLineEdit* wav = Edit(dialog, "WaveFileEdit");
        wav->setText("/nowhere/ring.wav");
        dialog.findChild<QPushButton*>("BitBtn2")->click();
        QVERIFY(dialog.Player()->source().isEmpty());
        dialog.findChild<QPushButton*>("BitBtn1")->click();
        QVERIFY(wav->text().isEmpty());
    }

    // The WAV chooser takes a .wav file and ignores any other choice.
    void chooserTakesOnlyWavFiles() {
        for (const char* name : {"ring.wav", "notes.txt"}) {
            QFile file(DataPath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("RIFF");
        }
        TPreferences dialog(false);
        QLineEdit* wav = Edit(dialog, "WaveFileEdit");
        auto choose = [&](const QString& file) {
            auto answer = qptest::OnNextModal<QFileDialog>([file](QFileDialog* chooser) {
                QVERIFY(chooser->nameFilters().constFirst().contains("*.wav"));
                // Typed into the file name field: selectFile() leaves a focused field alone.
                chooser->findChild<QLineEdit*>("fileNameEdit")->setText(file);
                static_cast<QDialog*>(chooser)->accept();
            });
            dialog.findChild<QPushButton*>("SelectWavButton")->click();
            QVERIFY(answer.Done());
        };
        choose(DataPath("ring.wav"));
        QCOMPARE(wav->text(), DataPath("ring.wav"));
        choose(DataPath("notes.txt"));
        QCOMPARE(wav->text(), DataPath("ring.wav"));
    }

    // The welcome box appears once, when the dialog first shows on the first start.
    void welcomeBoxOnFirstStart() {
        MessageBoxScript::AnswerAll(true);
        TPreferences dialog(true);
        dialog.show();
        QTRY_COMPARE(MessageBoxScript::Shown().size(), 1);
        QCOMPARE(MessageBoxScript::Shown().constFirst().caption, QStringLiteral("Information"));
        QVERIFY(MessageBoxScript::Shown().constFirst().text.startsWith(
            "Please enter information about yourself"));
        dialog.hide();
        dialog.show();
        QTest::qWait(50);
        QCOMPARE(MessageBoxScript::Shown().size(), 1);
        QCOMPARE(dialog.findChild<QLabel*>("status")->height(), 55);
        QVERIFY(dialog.findChild<QPushButton*>("FindModemButton")->isEnabled());
        QVERIFY(dialog.findChild<QPushButton*>("CheckFaxClassButton")->isEnabled());
    }

    // Long names open showing their start, and the fields are wide enough for their
    // limits at the dialog's size.
    void longNamesShowTheirStart() {
        QpSettings settings;
        settings.userName = "Maximilian Alexander von Rosenthals"; // 35 characters
        settings.userFax = "+49 (0)30 1234567-89";                 // 20 characters
        QCOMPARE(settings.userName.size(), std::size_t(35));
        QCOMPARE(settings.userFax.size(), std::size_t(20));
        TPreferences dialog(false);
        dialog.LoadFrom(settings);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (const char* name : {"Name", "FaxNumber"}) {
            QLineEdit* edit = Edit(dialog, name);
            QTRY_COMPARE(edit->cursorPosition(), 0);
            const int textWidth = edit->fontMetrics().horizontalAdvance(edit->text());
            QVERIFY2(textWidth + 12 <= edit->width(),
                     qPrintable(QStringLiteral("%1: text %2 px, field %3 px")
                                    .arg(name)
                                    .arg(textWidth)
                                    .arg(edit->width())));
        }
    }

    // "Set Default Font" keeps the stored name when the font is not installed under it
    // (the dialog opens Arial on a stand-in) and the user changes only the size; picking
    // another family stores that one.
    void defaultFontKeepsItsStoredName() {
        // fonts-liberation stands in for the Windows font names through fontconfig.
        QCOMPARE(QFontInfo(QFont(QStringLiteral("Arial"))).family(),
                 QStringLiteral("Liberation Sans"));
        {
            IniFile ini(SettingsFileName());
            ini.WriteString("Default Font", "Name", "Arial");
            ini.WriteInteger("Default Font", "Size", 10);
            ini.Save();
        }
        TPreferences dialog(false);
        {
            auto answer = qptest::OnNextModal<QFontDialog>([](QFontDialog* fonts) {
                QFont font = fonts->currentFont(); // the stand-in it opened on
                font.setPointSize(12);
                fonts->setCurrentFont(font);
                fonts->accept();
            });
            dialog.findChild<QPushButton*>("ExplorerButton1")->click();
        }
        IniFile kept(SettingsFileName());
        QCOMPARE(QString::fromStdString(kept.ReadString("Default Font", "Name", "")),
                 QStringLiteral("Arial"));
        QCOMPARE(kept.ReadInteger("Default Font", "Size", 0), 12);

        QString picked;
        {
            auto answer = qptest::OnNextModal<QFontDialog>([&picked](QFontDialog* fonts) {
                fonts->setCurrentFont(QFont(QStringLiteral("Liberation Mono"), 11));
                picked = fonts->currentFont().family();
                fonts->accept();
            });
            dialog.findChild<QPushButton*>("ExplorerButton1")->click();
        }
        QCOMPARE(picked, QStringLiteral("Liberation Mono"));
        IniFile changed(SettingsFileName());
        QCOMPARE(QString::fromStdString(changed.ReadString("Default Font", "Name", "")), picked);
    }

    // Through the main window: Accept stores and saves; Cancel after choosing a default
    // font keeps only the font.
    void acceptSavesCancelKeepsOnlyTheFont() {
        WriteConfiguredSettings();
        TMainScreen window;
        window.show();
        QTRY_VERIFY(!window.FirstActivation());

        {
            auto answer = qptest::OnNextModal<TPreferences>([](TPreferences* dialog) {
                dialog->findChild<QLineEdit*>("Name")->setText("Zoe Young");
                dialog->findChild<QRadioButton*>("AnswerOnRing2")->setChecked(true);
                dialog->findChild<QPushButton*>("OkButton")->click();
            });
            window.Preferences();
        }
        IniFile saved(SettingsFileName());
        QCOMPARE(saved.ReadString("User", "Name", ""), std::string("Zoe Young"));
        QCOMPARE(saved.ReadInteger("Receive", "AnswerOnRing", 0), 3);

        QFont chosen;
        {
            auto answer = qptest::OnNextModal<TPreferences>([&chosen](TPreferences* dialog) {
                dialog->findChild<QLineEdit*>("Name")->setText("Not Kept");
                {
                    auto fontAnswer =
                        qptest::OnNextModal<QFontDialog>([&chosen](QFontDialog* fonts) {
                            QFont font(QStringLiteral("Liberation Mono"), 14);
                            font.setBold(true);
                            fonts->setCurrentFont(font);
                            chosen = fonts->currentFont();
                            fonts->accept();
                        });
                    dialog->findChild<QPushButton*>("ExplorerButton1")->click();
                }
                dialog->findChild<QPushButton*>("Cancelbutton")->click();
            });
            window.Preferences();
        }
        IniFile after(SettingsFileName());
        QCOMPARE(after.ReadString("User", "Name", ""), std::string("Zoe Young"));
        QCOMPARE(after.ReadInteger("Default Font", "Size", 0), 14);
        QCOMPARE(after.ReadBool("Default Font", "Bold", !chosen.bold()), chosen.bold());
        QCOMPARE(QString::fromStdString(after.ReadString("Default Font", "Name", "")),
                 chosen.family());
        QCOMPARE(Settings().userName, std::string("Zoe Young"));
    }
};

QTEST_MAIN(PreferencesTest)
#include "PreferencesTest.moc"
