// The driver's keys in the host's INI file.
#pragma once

// Per printer, keyed by slot index (printer 1 uses VD00 and VDMAX00).
inline constexpr char kIniDriverSection[] = "VELDRIN Info";
inline constexpr char kIniSerialKeyFormat[] = "VD%02d";      // serial settings string
inline constexpr char kIniMaxWidthKeyFormat[] = "VDMAX%02d"; // maximum print width, mm
// Driver-wide, in the same section: how long a job may wait without a byte
// from the printer before the poll gives up (ms; 0 waits for ever).
inline constexpr char kIniReplyTimeoutKey[] = "ReplyTimeout";
inline constexpr unsigned kDefaultReplyTimeoutMs = 30000;

// Driver-wide values the driver reads but never writes.
inline constexpr char kIniSystemSection[] = "System Data";
inline constexpr char kIniWaitWriteTimeKey[] = "WaitWriteTime"; // ms after a pending write
inline constexpr char kIniPrintAdjustSection[] = "VD_PrintAdjust";
inline constexpr char kIniPositionFileKey[] = "VD_DBPrintPos"; // print position file name
inline constexpr char kDefaultPositionFile[] = "VD_PosAdjust.adj";

inline constexpr int kDefaultMaxWidthMm = 53;
inline constexpr int kDefaultWaitWriteTimeMs = 5;
inline constexpr unsigned kMaxWaitWriteTimeMs = 10000; // longest pause taken from the file
