#pragma once

// The fixed protocol times of the emulated modem and its far end, in milliseconds. "real"
// are what a call over a telephone line takes (dialing and answer tones, the V.21
// exchanges of T.30, training); "fast" keeps the same order of events with short pauses,
// for tests. Page data is always paced at the negotiated bit rate, independent of these.
struct ModemDelays {
    int dial = 0;         // ATD to the connect report (ringing, answer, CED, DIS)
    int busy = 0;         // ATD to BUSY
    int noDialTone = 0;   // ATD to NO DIALTONE
    int voice = 0;        // ATD to VOICE
    int noCarrier = 0;    // ATD to NO CARRIER
    int answer = 0;       // ATA to the connect report (CED, DIS, DCS, TCF, CFR)
    int phaseB = 0;       // first AT+FDT / AT+FDR of a document or after a rejected page
    int nextPage = 0;     // later AT+FDT / AT+FDR (carrier training)
    int postPage = 0;     // post-page message and the far end's answer
    int noResponse = 0;   // a post-page message repeated three times without answer
    int ringInterval = 0; // between RING reports
    int xon = 0;          // Class 2: CONNECT to XON
    int hangup = 0;       // DCN and going on hook
    int lostCarrier = 0;  // receiving: data stops to the modem noticing the loss
    int stall = 0;        // sending: no data from the computer before the far end gives up
    int startWait = 0;    // receiving: CONNECT to the far end giving up without DC2

    static ModemDelays Fast();
    static ModemDelays Real();
};
