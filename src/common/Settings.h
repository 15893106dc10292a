#pragma once

#include <string>

// The user's settings, held in process-wide variables: read once at start by
// LoadSettings, changed by the preferences dialog, the send window and a few menu
// commands, and written back as a whole by SaveSettings. They live in "QPX.INI" in the
// data folder, which also keeps the window placements and the [Ports] device names.
struct QpSettings {
    // [Receive]
    std::string receiveWav;        // Wav: sound played after a fax is received
    bool receiveAtStartup = false; // AtStartup: receive mode on at first activation
    int answerOnRing = 1;          // AnswerOnRing: 1 to 3
    // [User]
    std::string userFax;  // Fax: own fax number, the station identifier
    std::string userName; // Name: printed in the header line of sent pages
    // [Dialing]
    std::string dialPrefix;
    int dialAttempts = 3;
    int retryWait = 60; // seconds between attempts
    bool blindDial = false;
    bool ignoreBusy = false;
    int toneOrPulse = 0;  // 0 tone, 1 pulse
    int dialTimeout = 60; // Timeout: seconds after dialling before the call is abandoned
    // [Modem]
    std::string initString;
    int comPort = -1; // 0 for the first port up to 5, 6 the test line; -1 not configured yet
    int faxClass = 0; // 0 auto detect, 1 class 1, 2 class 2, 3 class 2.0
    int maximumBps = 9600;
    // [Default Font]
    std::string fontName = "Arial";
    int fontSize = 10;
    bool fontBold = false;
    bool fontItalic = false;
    bool fontUnderline = false;
    // [Hints]
    bool hintsOn = true;
};

// The built-in test line: the device name that stands for it in [Ports] "Com<n>", and
// the seventh port choice (stored ComPort 6), which is always the test line: saving it
// sets [Ports] "Com7" to the test line.
inline constexpr char TestLineDevice[] = "test-line";
inline constexpr int TestLinePortIndex = 6;

// The process-wide settings.
QpSettings& Settings();

// Full path of the settings file: DataFolder() + "QPX.INI".
std::string SettingsFileName();

// Reads every setting from the settings file; missing keys and values that are not
// numbers take their defaults.
void LoadSettings();

// Writes every setting to the settings file, keeping all other sections and keys.
// Throws IniWriteError naming the file when it cannot be written.
void SaveSettings();

// Transfer-rate list index <-> bits per second (index 3 is 9600, the fallback).
int BpsFromIndex(int index);
int IndexFromBps(int bps);

// The fax class handed to the fax components: stored FaxClass + 1 (1 auto detect,
// 2 class 1, 3 class 2, 4 class 2.0).
int ComponentFaxClass(int storedFaxClass);

// The port number handed to the serial port: stored ComPort + 1.
int ComponentPortNumber(int storedComPort);

// The modem initialisation command for the fax components: empty stays empty; a text
// whose upper-case form contains "AT" anywhere is used unchanged; otherwise "AT" is put
// in front.
std::string ModemInitCommand(const std::string& initString);
