// The driver's exported functions, as the host calls them (stdcall, exported
// under their plain names by VELDRIN.def).
#pragma once

#include <windows.h>
#include "host/records.h"

extern "C" {
DWORD WINAPI KtPrClosePrinter(DWORD slotIndex);
DWORD WINAPI KtPrCondDlgCB(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam,
                           CondDialogInfo* pInfo);
DWORD WINAPI KtPrFeedLabel(DWORD printerNumber, DWORD unused);
DWORD WINAPI KtPrGetDriverSpec(DriverSpec* pSpec);
DWORD WINAPI KtPrGetPrintData(DWORD printerNumber, PrintData* pData);
DWORD WINAPI KtPrGetPrintError(DWORD printerNumber, char* pszBuf, DWORD nBufChars);
DWORD WINAPI KtPrGetPrinterSpec(PrinterSpec* pSpec, DWORD modelIndex);
LONG WINAPI KtPrInitPrinter(DWORD printerNumber, DWORD unused);
LONG WINAPI KtPrIoControl(DWORD printerNumber, DWORD request, void* p, void* q);
LONG WINAPI KtPrIsPrintFinished(DWORD printerNumber, LONG* pRemaining, DWORD unused3,
                                DWORD unused4);
DWORD WINAPI KtPrIsPrintReady(DWORD slotIndex, DWORD unused);
DWORD WINAPI KtPrPrintNotify(DWORD unused1, DWORD unused2);
SHORT WINAPI KtPrPrintOneLabel(DWORD printerNumber, LONG quantity, HBITMAP hLabelBitmap,
                               const PrintJobInfo* pJob);
DWORD WINAPI KtPrPrinterSetup(HWND hParent, DWORD printerNumber, PrintJobInfo* pJob);
SHORT WINAPI KtPrStartPrint(DWORD printerNumber, LONG quantity, HBITMAP hLabelBitmap,
                            const PrintJobInfo* pJob);
DWORD WINAPI KtPrStopPrint(DWORD printerNumber);
DWORD WINAPI KtPrWaitPrintFinished(DWORD printerNumber, DWORD passedOn);
}
