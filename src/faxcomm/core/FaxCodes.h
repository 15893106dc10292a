#pragma once

#include <cstdint>

// Numbers shared by the fax engine and its components: fax classes, status codes, error
// codes, history log codes.
namespace qpfax {

// The fax class a component asks for.
enum TFaxClass : int { fcUnknown, fcDetect, fcClass1, fcClass2, fcClass2_0 };

// A set of fax classes (bit 1 << class).
using FaxClassSet = unsigned;
constexpr FaxClassSet ClassBit(TFaxClass c) {
    return 1u << static_cast<unsigned>(c);
}

// The class a session runs with, as the engine numbers it internally.
enum FaxClassInUse : int { ciNone = 0, ciClass1 = 2, ciClass2 = 3, ciClass2_0 = 4 };

// Status codes; their texts are string resources 13000 + code.
enum FaxStatus : int {
    fsNone = 0,
    fsInitializing = 1,
    fsDialing = 2,
    fsBusyWait = 3,
    fsSendingPage = 4,
    fsSendingEop = 5,
    fsPageError = 6,
    fsPageAccepted = 7,
    fsWaitingForCall = 20,
    fsNoConnect = 21,
    fsAnswering = 22,
    fsCallValidated = 23,
    fsGettingPage = 24,
    fsGettingEndOfPage = 25,
    fsGettingEndOfDocument = 26,
    fsGettingHangup = 27,
    fsGotHangup = 28,
    fsConnectionParams = 40,
    fsGotRemoteId = 41,
    fsUserAbort = 42,
    fsFinished = 43,
};

// Error codes a fax session ends or reports with.
enum FaxError : int {
    feNone = 0,
    feWriteError = -160,
    feNoMoreTriggers = -5001,
    feCancelRequested = -6005,
    feFatalTimeout = -6006,
    feNoFileName = -6010,
    feFileRejected = -6011,
    feNotApfFile = -8001,
    feIncompatible = -8070,
    feBadResponse = -8071,
    feTrainFailed = -8072,
    feInitFailed = -8073,
    feBusy = -8074,
    feVoice = -8075,
    feDataCall = -8076,
    feNoDialTone = -8077,
    feNoConnect = -8078,
    feMidSession = -8079,
    fePageEnd = -8080,
    feMultipleResolutions = -8082,
};

// Codes of the fax history log.
enum FaxLogCode : int {
    flTransmitStarted = 1,
    flTransmitFinished = 2,
    flTransmitFailed = 3,
    flReceiveStarted = 4,
    flReceiveFinished = 5,
    flReceiveSkipped = 6,
    flReceiveFailed = 7,
};

} // namespace qpfax
