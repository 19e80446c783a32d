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

// What a look at the received bytes found.
enum ReplyScan {
  kReplyCount,       // a remaining-count frame ("O"): remaining holds its digits, error 0
  kReplyErrorLetter, // a frame with another letter: error holds its code
  kReplyIncomplete,  // no frame, fewer than 7 bytes: more may come
  kReplyUnusable,    // no frame in 7 bytes or more
};

// Interprets the last frame among the first `length` (at most 100) received
// bytes. For a count frame the four bytes after the letter go to remaining,
// "9999" becoming "0000"; *errorCode gets the frame's code. Without a frame
// nothing is written.
ReplyScan ScanReply(const uint8_t* received, size_t length, char remaining[4], uint32_t* errorCode);

// The decimal value of up to four characters (leading white space skipped,
// an optional sign, stops at the first other character), as the printer's
// remaining-count digits are read.
long RemainingCountValue(const char digits[4]);
