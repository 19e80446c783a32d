// labelhost's commands. Each takes the arguments after its name and returns
// the process exit code (0 success, 1 the driver reported a failure, 2 usage).
#pragma once

#include <string>

#include "labelhost/driver_api.h"

int CmdInfo(const DriverApi& api, int argc, char** argv);
int CmdInit(const DriverApi& api, int argc, char** argv);
int CmdError(const DriverApi& api, int argc, char** argv);
int CmdReady(const DriverApi& api, int argc, char** argv);
int CmdStop(const DriverApi& api, int argc, char** argv);
int CmdWait(const DriverApi& api, int argc, char** argv);
int CmdPosDb(const DriverApi& api, int argc, char** argv);
int CmdDiff(const DriverApi& api, int argc, char** argv);
int CmdPrint(const DriverApi& api, int argc, char** argv);
int CmdSetup(const DriverApi& api, int argc, char** argv);
int CmdCondDlg(const DriverApi& api, int argc, char** argv);
int CmdCheck(const DriverApi& api, int argc, char** argv);
// ports and loopback need no driver: `api` is empty when no other command runs.
int CmdPorts(const DriverApi& api, int argc, char** argv);
int CmdLoopback(const DriverApi& api, int argc, char** argv);

// Prints the driver file's path ("driver: ...") and its version resource
// ("version: VELDRIN 1.0.0 (description, file 1.0.0.0)").
void ShowDriverFile(const DriverApi& api);

// KtPrInitPrinter for the printer, noting a success: ready, stop and wait
// take this step themselves for a printer this process has not loaded.
LONG LoadPrinter(const DriverApi& api, DWORD printer);

// Parses a printer number argument (1..8, but any number is passed on, as a
// host might); false on a non-number.
bool ParsePrinterArg(const char* text, DWORD* number);

// Parses a --model argument: 12 or 261 for the 12 dots/mm model, 8 or 264
// for the 8 dots/mm model; the printer type code in *typeCode.
bool ParseModelArg(const char* text, WORD* typeCode);
// Why a --model argument was refused.
inline constexpr char kModelArgText[] =
    "--model takes 12 (or type 261) for the 12 dots/mm model, 8 (or type 264) for the 8 dots/mm "
    "model";

// Fetches printer N's error with KtPrGetPrintError and prints
// "error CODE: MESSAGE" (or "no error"); returns the code.
DWORD ShowPrintError(const DriverApi& api, DWORD printer);

// Polls KtPrIsPrintFinished every 50 ms until the job ends or `limitMs`
// passes, calling `progress` whenever the labels still to print change.
// 1 finished, -1 the driver reported a failure, 2 not finished at the limit,
// 3 no reply from the printer for `silentMs` (INFINITE: no such end).
// The driver's own reply time-out ends a poll on a silent printer, but only
// while a job this process sent is running.
LONG FollowJob(const DriverApi& api, DWORD printer, DWORD limitMs,
               void (*progress)(DWORD printer, LONG remaining, DWORD elapsedMs),
               DWORD silentMs = INFINITE);

// FollowJob without a limit, printing the labels still to print as they
// count down. True when it finished, false on an error or after `silentMs`
// without a reply (shown).
bool WaitForJob(const DriverApi& api, DWORD printer, DWORD silentMs = INFINITE);
