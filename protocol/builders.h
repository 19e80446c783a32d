// The command builders: each writes one command at the start of the slot's
// send buffer and sets dwSendLen to its length; none sends.
#pragma once

#include <cstdint>

int BuildClearCommand(uint8_t slot);
int BuildConditionCommand(uint8_t slot, uint16_t dotsPer10mm, uint16_t labelLengthMm);
int BuildImageAreaCommand(uint8_t slot, uint16_t dotsPer10mm);
int BuildStopCommand(uint8_t slot);

// Returns 0 and leaves dwSendLen 0 for a negative quantity, which the printer
// has no command for, so a caller never sends what the buffer held before.
int BuildPrintCommand(uint8_t slot, int32_t quantity);

// Fills the slot's image-area fields for the next image-area command.
void SetImageAreaFields(uint8_t slot, uint16_t dotsPer10mm, long long x, long long y,
                        long long bytesPerRow, long long rows);
