#pragma once

#include <QString>

// The hints of the modem and dialing controls, shared by the send window and the
// preferences dialog, which edit the same settings.
namespace ModemSettingHints {

inline const QString ComPort =
    QStringLiteral("Select the communications port for your faxmodem here");
inline const QString FaxClass = QStringLiteral(
    "You should usually set this at the highest class supported by your modem, however if you "
    "experience problems set it to auto detect (the default)");
inline const QString ModemInit = QStringLiteral(
    "(You should not need to do this). Enter extra modem init string here. If you use an init "
    "string here, it will be sent just before the default init: ('ATE0Q0V1X4S0=0'). The init "
    "string should not contain an 'AT' prefix.");
inline const QString TransferRate = QStringLiteral(
    "This is the maximum transfer rate or BPS of the fax session. We recommend leaving it at "
    "9600.\nSetting it at a lower rate (7200,4800 or 2400) can increase reliability in some "
    "cases, but \nwill also mean a longer time to send the fax.");
inline const QString DialPrefix = QStringLiteral(
    "Enter the dial prefix here. If your telephone system requires special numbers or codes "
    "when dialing out, you can specify them once here rather than in every fax number. Do not "
    "include 'ATD' or a 'T' or 'P' tone/pulse modifier in the dial prefix");
inline const QString ToneOrPulse =
    QStringLiteral("Select tone or pulse, depending on your phone system (normally tone)");
inline const QString DialAttempts =
    QStringLiteral("Enter the number of dial attempts that should be made for each fax");
inline const QString RetryWait =
    QStringLiteral("Enter the number of seconds between dial attempts here");
inline const QString TimeOut = QStringLiteral("Enter the number of seconds that Quillpost should "
                                              "wait after dialing before it aborts the call with "
                                              "a timeout");
inline const QString BlindDial = QStringLiteral(
    "If the modem is not connected to a phone line which supplies a dial tone, check  Blind "
    "Dial.\nThis is the same as sending the ATX3 modem command");
inline const QString IgnoreBusy = QStringLiteral(
    "Check this box to ignore busy signals. In certain countries, some modems falsely "
    "interpret the phone ringing as a busy  signal. ONLY CHECK THIS BOX IF THIS SITUATION "
    "APPLIES TO YOU! This is the same as sending the ATX2 modem command");
inline const QString FindModem =
    QStringLiteral("Click here to have the program attempt to find which port your faxmodem is on");
inline const QString CheckFaxClass = QStringLiteral(
    "Click here to have the program test the modem to see which fax classes it supports");

} // namespace ModemSettingHints
