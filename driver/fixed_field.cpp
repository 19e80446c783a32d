// Fixed-width numeric fields.
#include "driver/fixed_field.h"

#include <cstdio>
#include <cstring>

void FormatFixedField(char* dest, int width, long long value) {
  // Room for any 64-bit value with sign, and any pad width the callers use.
  char text[32];
  if (width < 1)  // GCOVR_EXCL_BR_LINE: every caller passes a width of 1 to 5
    return;       // GCOVR_EXCL_LINE
  if (width > 20) // GCOVR_EXCL_BR_LINE
    width = 20;   // GCOVR_EXCL_LINE
  snprintf(text, sizeof(text), "%0*lld", width, value);
  memcpy(dest, text, static_cast<size_t>(width));
}
