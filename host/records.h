// Records that cross the boundary between the host application and the
// driver. Their layouts are the host's; every offset here is part of the
// interface and is checked at compile time.
#pragma once

#include <windows.h>
#include <cstddef>

// Driver spec (KtPrGetDriverSpec): 16 bytes.
struct DriverSpec {
  DWORD dwSize;       // in: size of the caller's record in bytes
  DWORD dwReserved4;  // out: 0
  DWORD dwReserved8;  // out: 0
  DWORD dwModelCount; // out: number of printer models offered
};

// Printer spec (KtPrGetPrinterSpec): 268 bytes.
struct PrinterSpec {
  DWORD dwSize;          // in: size of the caller's record in bytes
  DWORD dwTypeCode;      // out: printer type code, 261 or 264
  char szModelName[256]; // out: model name from the string table
  WORD wDpiX;            // out: resolution in dots per inch
  WORD wDpiY;            // out: the same resolution again
};

// Print data (KtPrGetPrintData): the host fills the type code, the driver the rest.
struct PrintData {
  WORD wTypeCode;    // in: printer type code
  WORD wReserved2;   // not touched
  WORD wDotsPer10mm; // dots per 10 mm: 120 or 80
  WORD wHostValue6;  // host constant: 50
  WORD wHostValue8;  // host constant: 200
  WORD wMaxWidth10;  // ten times the maximum print width in mm
  WORD wHostValue12; // host constant: 2000
  WORD wHostValue14; // host constant: 0
  BYTE bHostValue16; // host constant: 0
  BYTE bPrinterNo;   // low byte of the printer number, as passed
  WORD wHostValue18; // host constant: 0
};

// The open label format, as far as the driver reads it.
struct FormatInfo {
  BYTE abHost0[36];  // host data, not read
  WORD wLabelWidth;  // label width in 0.1 mm
  WORD wLabelLength; // label length in 0.1 mm
};

// The host's print conditions.
struct ConditionInfo {
  BYTE abHost0[4];     // host data, not read
  SHORT nContrast;     // print density 1..9
  BYTE abHost6[3];     // host data, not read
  char achStartPos[3]; // print start position, three ASCII digits (NUL reads as '0')
};

// Printer data the host sends after the image when printing incrementally.
struct ExtraRecord {
  BYTE abData[64]; // bytes for the printer, sent unchanged
  WORD wLength;    // number of bytes of abData to send
};

// The host's job record, read by the print job and the settings dialog.
struct PrintJobInfo {
  BYTE abHost0[4];            // host data, not read
  FormatInfo* pFormat;        // the open label format
  ConditionInfo* pCondition;  // the print conditions
  PrintData* pPrintData;      // the record KtPrGetPrintData filled
  BYTE abHost16[24];          // host data, not read
  DWORD bIncremental;         // keep the bitmap, send changed regions and extra records
  DWORD bToFile;              // write the stream to hFile instead of the port
  HFILE hFile;                // the host's output file (_lwrite)
  ExtraRecord* pExtraRecords; // extra records to send
  WORD* pExtraCount;          // number of extra records
};

// The label-format parameters of control request 17: 516 bytes.
struct LabelFormatParams {
  char szProduct[256]; // product name, NUL-terminated
  char szFormat[260];  // label format name, NUL-terminated
};

// The host record that names a printer in its print-condition dialog.
struct PrinterRef {
  BYTE abHost0[8]; // host data, not read
  BYTE nPrinterNo; // printer number 1..8
};

// Fifth argument of KtPrCondDlgCB.
struct CondDialogInfo {
  DWORD dwActive;          // 0: the callback does nothing
  BYTE abHost4[8];         // host data, not read
  PrinterRef* pPrinterRef; // the printer the dialog is for
};

static_assert(sizeof(void*) == 4, "the host records are 32-bit layouts");
static_assert(sizeof(DriverSpec) == 16);
static_assert(offsetof(DriverSpec, dwModelCount) == 12);
static_assert(sizeof(PrinterSpec) == 268);
static_assert(offsetof(PrinterSpec, dwTypeCode) == 4);
static_assert(offsetof(PrinterSpec, szModelName) == 8);
static_assert(offsetof(PrinterSpec, wDpiX) == 264);
static_assert(offsetof(PrinterSpec, wDpiY) == 266);
static_assert(sizeof(PrintData) == 20);
static_assert(offsetof(PrintData, wDotsPer10mm) == 4);
static_assert(offsetof(PrintData, wHostValue6) == 6);
static_assert(offsetof(PrintData, wMaxWidth10) == 10);
static_assert(offsetof(PrintData, wHostValue14) == 14);
static_assert(offsetof(PrintData, bHostValue16) == 16);
static_assert(offsetof(PrintData, bPrinterNo) == 17);
static_assert(offsetof(PrintData, wHostValue18) == 18);
static_assert(offsetof(FormatInfo, wLabelWidth) == 36);
static_assert(offsetof(FormatInfo, wLabelLength) == 38);
static_assert(offsetof(ConditionInfo, nContrast) == 4);
static_assert(offsetof(ConditionInfo, achStartPos) == 9);
static_assert(sizeof(ExtraRecord) == 66);
static_assert(offsetof(ExtraRecord, wLength) == 64);
static_assert(offsetof(PrintJobInfo, pFormat) == 4);
static_assert(offsetof(PrintJobInfo, pCondition) == 8);
static_assert(offsetof(PrintJobInfo, pPrintData) == 12);
static_assert(offsetof(PrintJobInfo, bIncremental) == 40);
static_assert(offsetof(PrintJobInfo, bToFile) == 44);
static_assert(offsetof(PrintJobInfo, hFile) == 48);
static_assert(offsetof(PrintJobInfo, pExtraRecords) == 52);
static_assert(offsetof(PrintJobInfo, pExtraCount) == 56);
static_assert(sizeof(LabelFormatParams) == 516);
static_assert(offsetof(LabelFormatParams, szFormat) == 256);
static_assert(offsetof(PrinterRef, nPrinterNo) == 8);
static_assert(offsetof(CondDialogInfo, pPrinterRef) == 12);
