// Driver error codes and string ids. Each error code is also the id of its
// message in the driver's string table; the host fetches both through
// KtPrGetPrintError. Plain definitions, usable by the pure code too.
#pragma once

#include <cstdint>

enum DriverErrorCode : uint32_t {
  kErrNone = 0,
  kErrCommOpen = 60800,     // the port cannot be opened
  kErrInitFailed = 60801,   // loading the printer's settings failed
  kErrStopFailed = 60802,   // the stop command cannot be built
  kErrMemory = 60803,       // no memory for the label image
  kErrBitmap = 60804,       // the label bitmap is missing or unreadable
  kErrPrint = 60805,        // a command cannot be built, or the modem lines cannot be raised
  kErrNotReady = 60806,     // the printer's DSR line is off
  kErrNoFormat = 60807,     // settings asked with no label format open
  kErrPositionSave = 60808, // the print position database cannot be written
  kErrTransmit = 60809,     // a transmission to the printer failed
  kErrReplySet = 60810,     // printer reply "E"
  kErrReplyRibbon = 60811,  // printer reply "F": ribbon used up
  kErrReplyParity = 60812,  // printer reply "T"
  kErrReplyFraming = 60813, // printer reply "G"
  kErrReplyOverrun = 60814, // printer reply "V"
  kErrReplyUnknown = 60815, // any other reply letter
  kErrReplyTimeout = 60816, // no reply within the time-out
  kErrBadRemaining = 60817, // remaining count "9999" (text only; never set)
};

// Other strings of the driver's string table.
enum DriverStringId : uint32_t {
  kStrDriverName = 39999,  // "VELDRIN"
  kStrModel12Dot = 60001,  // model name of printer type 261
  kStrAlertTitle = 60002,  // title of the driver's message boxes
  kStrModel8Dot = 60003,   // model name of printer type 264
  kStrRangeFormat = 60601, // "Parameter \"%s\" is out of range...%d to %d."
  kStrDensityName = 60602, // "Print density"
};

// The name under which the driver registers with the host library.
inline constexpr char kDriverName[] = "VELDRIN";

// Loads string nId of the driver's string table into pszBuf (nBufChars
// characters) through the host library; returns the loader's result.
int LoadDriverString(unsigned nId, char* pszBuf, int nBufChars);
