// PNG files of one-bit bitmaps: printed labels out, any PNG back in (for checks and tests).
#pragma once

#include <string>

#include "tlxsim/image.h"

namespace tlxsim {

// Writes a one-bit greyscale PNG, one pixel per dot: printed dots black, the rest white.
bool write_png(const std::string& path, const Bitmap& image, std::string* error);
// Reads any PNG; a pixel whose grey level is below half counts as a printed dot.
bool read_png(const std::string& path, Bitmap* image, std::string* error);

} // namespace tlxsim
