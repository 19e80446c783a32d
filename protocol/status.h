// Following a job: the printer's readiness, the stop command, and polling
// the printer's replies until it reports no labels left or an error.
#pragma once

#include <cstdint>

// Interprets the last reply frame among the slot's received bytes: 0 a
// remaining-count reply was taken, -1 an error reply or unusable data, -2 no
// complete frame yet.
int ParsePrinterReply(uint8_t slot);

// Starts the reply time-out for a job whose last command has just been sent:
// from now on, if no byte arrives for longer than the time-out while the job
// has not finished, the poll reports 60816.
void ArmReplyWatch(uint8_t slot);
