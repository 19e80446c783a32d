// The check's test label: a 10 mm grid with millimetre rulers along the top
// and left edges, and the text that tells which printer, model and line it
// came from and when. What a printer makes of it shows at a glance whether
// the dots per millimetre, the centring and the whole head work.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// widthMm x heightMm at dotsPerMm, 24 bits per pixel; `lines` are written one
// under the other from the top left cell. Null on failure.
HBITMAP DrawTestLabel(int widthMm, int heightMm, int dotsPerMm,
                      const std::vector<std::string>& lines);
