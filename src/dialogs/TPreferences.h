#pragma once

#include "ui/WindowUtils.h"

#include <QDialog>

#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSoundEffect;
class TQpComPort;
class TQpSendFax;
struct QpSettings;

// The preferences dialog: personal, modem, dialing and receiving settings. The caller
// fills it from the settings (LoadFrom), shows it and, when accepted, copies it back
// (StoreTo) and saves the settings file. The default font is chosen and saved at once
// through "Set Default Font", independently of Accept and Cancel.
class TPreferences final : public QDialog {
    Q_OBJECT

public:
    // `showWelcome`: the first start of the program; the welcome box is shown when the
    // dialog is first activated.
    explicit TPreferences(bool showWelcome, QWidget* parent = nullptr);
    ~TPreferences() override;

    void LoadFrom(const QpSettings& settings);
    // Copies every control into `settings`. Dial attempts, retry wait and timeout texts
    // that are not whole numbers leave their settings unchanged.
    void StoreTo(QpSettings& settings) const;

    static const char* const WelcomeText;
    // Added to the welcome text when the first start chose the test line.
    static const char* const TestLineWelcomeText;

    // The sound player used by "Play Now" (for tests: whether something is playing).
    QSoundEffect* Player() const { return player_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildButtonBar();
    void PrepareKeyboard();
    QWidget* BuildPersonalAndModem();
    QWidget* BuildDialing();
    QWidget* BuildReceiving();
    void CreatePortComponents();
    void ClosePort();
    void FindModemClick();
    void CheckFaxClassClick();
    static void WidenFor(QLineEdit* edit, int characters);

    void SelectWavFile();
    void PlayNow();
    void ShowWelcome();

    bool showWelcome_;
    bool testLinePreselected_ = false;
    QLabel* status_ = nullptr;
    std::unique_ptr<HintTargetGuard> hintGuard_;

    QLineEdit* name_ = nullptr;
    QLineEdit* faxNumber_ = nullptr;
    QButtonGroup* comPort_ = nullptr;
    QButtonGroup* faxClass_ = nullptr;
    QLineEdit* modemInit_ = nullptr;
    QComboBox* transferRate_ = nullptr;
    QLineEdit* dialPrefix_ = nullptr;
    QButtonGroup* toneOrPulse_ = nullptr;
    QLineEdit* dialAttempts_ = nullptr;
    QLineEdit* retryWait_ = nullptr;
    QLineEdit* timeOut_ = nullptr;
    QCheckBox* blindDial_ = nullptr;
    QCheckBox* ignoreBusy_ = nullptr;
    QButtonGroup* answerOnRing_ = nullptr;
    QCheckBox* receiveAtStartup_ = nullptr;
    QLineEdit* waveFileEdit_ = nullptr;
    QPushButton* chooseButton_ = nullptr;
    QPushButton* playButton_ = nullptr;
    QPushButton* noneButton_ = nullptr;
    QSoundEffect* player_ = nullptr;
    TQpComPort* port_ = nullptr;
    TQpSendFax* sendFax_ = nullptr;
};
