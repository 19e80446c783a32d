// Where a label goes on the print head and how wide its rows are. Pure.
#pragma once

#include <cstdint>

// Dots from the head's left edge to the label's, so the label sits in the
// middle of the maximum print width: half the width it leaves free, rounded
// up. A label wider than the print width starts at the left edge (0), and the
// offset never exceeds what the four-digit position field holds (9999).
uint16_t CentringOffset(int32_t maxWidthMm, uint16_t labelWidthTenthMm, int32_t dotsPerMm);

// The label's width in dots divided by 8, rounded up.
uint16_t LabelBytesPerRow(uint16_t labelWidthTenthMm, int32_t dotsPerMm);
