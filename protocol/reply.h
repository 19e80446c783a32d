// The printer's reply frames, as pure procedures: ESC, a letter, and CR two
// bytes later (3-byte frame) or six bytes later (ESC letter d d d d CR).
#pragma once

#include <cstddef>
#include <cstdint>

// Finds the last frame start in the received bytes: the last i (0 ..
// length-3) where data[i] is ESC and data[i+2] or data[i+6] is CR; bytes past
// `length` read as zero and never match. Returns false when there is none.
bool FindLastReplyFrame(const uint8_t* data, size_t length, size_t* frameStart);

// The error code a reply letter stands for; 0 for "O" (labels remaining).
uint32_t ReplyLetterCode(uint8_t letter);

// The decimal value of up to four characters (leading white space skipped,
// an optional sign, stops at the first other character), as the printer's
// remaining-count digits are read.
long RemainingCountValue(const char digits[4]);
