// What the loaded driver itself reports of a printer's settings and print
// position, through its exports only: the print data, control request 13's
// printer record, and the conditions of a label it writes to a file (the
// start position and density it took from request 17's position lookup, and
// where its loaded maximum print width centres the label). It reports no
// line settings: those only labelhost's own reading of the INI file shows.
#pragma once

#include "labelhost/driver_api.h"

// Prints one "driver reports: ..." line for each. The label written to a
// file is widthMm x heightMm, blank, with the host conditions `startMm` and
// `density` (used when the position lookup found nothing). Returns the bytes
// of that label: what the test label of the same size costs on the line.
size_t ShowDriverReport(const DriverApi& api, DWORD printer, WORD typeCode, int widthMm,
                        int heightMm, int startMm, int density);
