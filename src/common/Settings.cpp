#include "common/Settings.h"

#include "common/DataFolder.h"
#include "common/IniFile.h"

#include <algorithm>
#include <cctype>

QpSettings& Settings() {
    static QpSettings settings;
    return settings;
}

std::string SettingsFileName() {
    return DataFolder() + "QPX.INI";
}

void LoadSettings() {
    const IniFile ini(SettingsFileName());
    const QpSettings defaults;
    QpSettings& s = Settings();
    s.receiveWav = ini.ReadString("Receive", "Wav", defaults.receiveWav);
    s.receiveAtStartup = ini.ReadBool("Receive", "AtStartup", defaults.receiveAtStartup);
    s.answerOnRing = ini.ReadInteger("Receive", "AnswerOnRing", defaults.answerOnRing);
    s.userFax = ini.ReadString("User", "Fax", defaults.userFax);
    s.userName = ini.ReadString("User", "Name", defaults.userName);
    s.dialPrefix = ini.ReadString("Dialing", "DialPrefix", defaults.dialPrefix);
    s.dialAttempts = ini.ReadInteger("Dialing", "DialAttempts", defaults.dialAttempts);
    s.retryWait = ini.ReadInteger("Dialing", "RetryWait", defaults.retryWait);
    s.blindDial = ini.ReadBool("Dialing", "BlindDial", defaults.blindDial);
    s.ignoreBusy = ini.ReadBool("Dialing", "IgnoreBusy", defaults.ignoreBusy);
    s.toneOrPulse = ini.ReadInteger("Dialing", "ToneOrPulse", defaults.toneOrPulse);
    s.dialTimeout = ini.ReadInteger("Dialing", "Timeout", defaults.dialTimeout);
    s.initString = ini.ReadString("Modem", "InitString", defaults.initString);
    s.comPort = ini.ReadInteger("Modem", "ComPort", defaults.comPort);
    s.faxClass = ini.ReadInteger("Modem", "FaxClass", defaults.faxClass);
    s.maximumBps = ini.ReadInteger("Modem", "MaximumBPS", defaults.maximumBps);
    s.fontName = ini.ReadString("Default Font", "Name", defaults.fontName);
    s.fontSize = ini.ReadInteger("Default Font", "Size", defaults.fontSize);
    s.fontBold = ini.ReadBool("Default Font", "Bold", defaults.fontBold);
    s.fontItalic = ini.ReadBool("Default Font", "Italic", defaults.fontItalic);
    s.fontUnderline = ini.ReadBool("Default Font", "Underline", defaults.fontUnderline);
    s.hintsOn = ini.ReadBool("Hints", "On", defaults.hintsOn);
}

void SaveSettings() {
    IniFile ini(SettingsFileName());
    const QpSettings& s = Settings();
    ini.WriteString("Receive", "Wav", s.receiveWav);
    ini.WriteBool("Receive", "AtStartup", s.receiveAtStartup);
    ini.WriteInteger("Receive", "AnswerOnRing", s.answerOnRing);
    ini.WriteString("User", "Fax", s.userFax);
    ini.WriteString("User", "Name", s.userName);
    ini.WriteString("Dialing", "DialPrefix", s.dialPrefix);
    ini.WriteString("Modem", "InitString", s.initString);
    ini.WriteInteger("Dialing", "DialAttempts", s.dialAttempts);
    ini.WriteInteger("Dialing", "RetryWait", s.retryWait);
    ini.WriteBool("Dialing", "BlindDial", s.blindDial);
    ini.WriteBool("Dialing", "IgnoreBusy", s.ignoreBusy);
    ini.WriteInteger("Modem", "ComPort", s.comPort);
    if (s.comPort == TestLinePortIndex) {
        ini.WriteString("Ports", "Com" + std::to_string(ComponentPortNumber(s.comPort)),
                        TestLineDevice);
    }
    ini.WriteInteger("Modem", "FaxClass", s.faxClass);
    ini.WriteInteger("Dialing", "ToneOrPulse", s.toneOrPulse);
    ini.WriteInteger("Dialing", "Timeout", s.dialTimeout);
    ini.WriteString("Default Font", "Name", s.fontName);
    ini.WriteInteger("Default Font", "Size", s.fontSize);
    ini.WriteBool("Default Font", "Bold", s.fontBold);
    ini.WriteBool("Default Font", "Italic", s.fontItalic);
    ini.WriteBool("Default Font", "Underline", s.fontUnderline);
    ini.WriteInteger("Modem", "MaximumBPS", s.maximumBps);
    ini.WriteBool("Hints", "On", s.hintsOn);
    ini.Save();
}

int BpsFromIndex(int index) {
    switch (index) {
    case 0:
        return 2400;
    case 1:
        return 4800;
    case 2:
        return 7200;
    case 4:
        return 12000;
    case 5:
        return 14400;
    default:
        return 9600;
    }
}

int IndexFromBps(int bps) {
    switch (bps) {
    case 2400:
        return 0;
    case 4800:
        return 1;
    case 7200:
        return 2;
    case 12000:
        return 4;
    case 14400:
        return 5;
    default:
        return 3;
    }
}

int ComponentFaxClass(int storedFaxClass) {
    return storedFaxClass + 1;
}

int ComponentPortNumber(int storedComPort) {
    return storedComPort + 1;
}

std::string ModemInitCommand(const std::string& initString) {
    if (initString.empty()) {
        return initString;
    }
    std::string upper = initString;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper.find("AT") != std::string::npos) {
        return initString;
    }
    return "AT" + initString;
}
