#include "ModemDelays.h"

ModemDelays ModemDelays::Fast() {
    ModemDelays d;
    d.dial = 60;
    d.busy = 40;
    d.noDialTone = 30;
    d.voice = 40;
    d.noCarrier = 60;
    d.answer = 40;
    d.phaseB = 40;
    d.nextPage = 20;
    d.postPage = 30;
    d.noResponse = 150;
    d.ringInterval = 150;
    d.xon = 10;
    d.hangup = 10;
    d.lostCarrier = 150;
    d.stall = 2500;
    d.startWait = 3000;
    return d;
}

ModemDelays ModemDelays::Real() {
    ModemDelays d;
    d.dial = 14000;
    d.busy = 7000;
    d.noDialTone = 3000;
    d.voice = 12000;
    d.noCarrier = 40000;
    d.answer = 6000;
    d.phaseB = 3500;
    d.nextPage = 400;
    d.postPage = 2200;
    d.noResponse = 10500;
    d.ringInterval = 6000;
    d.xon = 150;
    d.hangup = 1200;
    d.lostCarrier = 5000;
    d.stall = 5000;
    d.startWait = 10000;
    return d;
}
