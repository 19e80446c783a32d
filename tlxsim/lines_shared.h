/* Line state of one simulated serial port, shared between the printer simulator and the
 * modem-line library preloaded into Wine. One small file per port, named after the
 * pseudo-terminal's number and mapped by both sides; plain C so that both the 32-bit C library
 * and the C++ simulator include it. Counters are 32-bit and wrap: compare them by difference. */
#ifndef TLXSIM_LINES_SHARED_H
#define TLXSIM_LINES_SHARED_H

#include <stdint.h>

#define TLX_LINES_MAGIC 0x4C584C54u /* "TLXL" */
#define TLX_LINES_VERSION 2u
#define TLX_LINES_DIR_ENV "TLXSIM_LINES_DIR"
#define TLX_LINES_DEFAULT_DIR "/dev/shm/tlxsim-lines" /* when /dev/shm is a folder */
#define TLX_LINES_FALLBACK_DIR "/tmp/tlxsim-lines"    /* otherwise */
#define TLX_LINES_FILE_PREFIX "pts-" /* file name = prefix + pseudo-terminal number */
#define TLX_LINES_RATE_FAST 0u           /* drain_bps: bytes taken off as fast as they come */
#define TLX_LINES_RATE_HOST 0xFFFFFFFFu  /* drain_bps: at the speed the host set (`baud`) */

/* Line bits of in_lines and out_lines are the TIOCM_* values of <sys/ioctl.h>. */

struct tlx_lines {
  uint32_t magic;        /* TLX_LINES_MAGIC once the simulator has filled the record */
  uint32_t version;      /* TLX_LINES_VERSION */
  int32_t sim_pid;       /* simulator process; a record whose process is gone is ignored */
  uint32_t pts;          /* number of the pseudo-terminal slave this record belongs to */
  uint32_t alive;        /* 1 while the simulator serves the line, 0 once it let it go */
  uint32_t in_lines;     /* lines the printer drives: TIOCM_DSR, TIOCM_CTS, TIOCM_CAR, TIOCM_RNG */
  uint32_t out_lines;    /* lines the host drives: TIOCM_DTR, TIOCM_RTS */
  uint32_t out_changes;  /* bumped by every host write of out_lines */
  uint32_t written;      /* bytes the host has handed to the slave, counted before each write */
  uint32_t drained;      /* bytes the simulator has taken off the line */
  uint32_t settings_seq; /* bumped by every line-settings call of the host */
  uint32_t cflag;        /* c_cflag the host last asked for (speed, size, parity, stop bits) */
  uint32_t baud;         /* bits per second the host last asked for, 0 if unknown */
  uint32_t err_frame;    /* framing errors reported through TIOCGICOUNT */
  uint32_t err_parity;   /* parity errors reported through TIOCGICOUNT */
  uint32_t err_overrun;  /* overruns reported through TIOCGICOUNT */
  uint32_t err_break;    /* breaks reported through TIOCGICOUNT */
  int32_t holder_pid;    /* process that opened the slave last: no other open while it holds it */
  uint32_t drain_bps;    /* the simulator's drain rate: TLX_LINES_RATE_FAST, _HOST or bits/s */
  uint32_t loop_lines;   /* 1: a loopback jumper: CTS follows RTS, DSR follows DTR; 0: in_lines */
  uint32_t reserved[12]; /* zero; keeps the record at 128 bytes */
};

#endif
