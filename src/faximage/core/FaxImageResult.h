#pragma once

// Result codes of the fax image engines. Every engine operation returns 0 or one of
// these negative codes; the components turn them into exceptions with their texts.
namespace faxresult {

constexpr int Ok = 0;
constexpr int FileNotFound = -2;
constexpr int PathNotFound = -3;
constexpr int TooManyOpenFiles = -4;
constexpr int AccessDenied = -5;
constexpr int OutOfMemory = -8;
constexpr int ReadBeyondEof = -100;
constexpr int DiskFull = -101;
constexpr int BadArgument = -1002;
constexpr int GotQuitMessage = -1003;
constexpr int NotApfFile = -8001;
constexpr int UnsupportedGraphics = -8002;
constexpr int ConvertAborted = -8003;
constexpr int CantMakeBitmap = -8005;
constexpr int FontNotFound = -8052;

// The negated file-system error number for a POSIX errno value (ENOENT gives -2,
// EACCES -5, ENOSPC -101 and so on); unknown values give -5.
int FromErrno(int error);

} // namespace faxresult
