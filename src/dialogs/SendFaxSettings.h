#pragma once

#include <QString>

// The modem and dialing settings the send window shows and hands back: the caller fills
// them from the user's settings before the window opens and takes them back when it
// closes. The three numbers are kept as the texts the user typed; converting them (and
// keeping the old value for a text that is not a whole number) is the caller's business.
struct SendFaxSettings {
    int comPort = -1; // port choice 0..5 (Com1..Com6), -1 for none
    QString userName, stationId, dialPrefix, modemInit, dialAttempts, retryWait, timeOut;
    int faxClass = 0;    // 0 auto detect, 1 class 1, 2 class 2, 3 class 2.0
    int toneOrPulse = 0; // 0 tone, 1 pulse
    bool blindDial = false, ignoreBusy = false;
    int rateIndex = 3; // transfer rate list index, 3 = 9600
};
