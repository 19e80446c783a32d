// The one formatter for the driver's fixed-width numeric fields: command
// fields, the INI serial string and the start position. The number's decimal
// text, zero-padded to the field width, is cut to that width, so a number with
// too many digits loses its last digits, not its first. Pure code.
#pragma once

#include <cstddef>

// Writes exactly `width` characters (1..20) to `dest`, not terminated.
void FormatFixedField(char* dest, int width, long long value);
