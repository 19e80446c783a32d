/* Modem lines, line settings and transmitter state for simulated printers on pseudo-terminals.
 *
 * Preloaded into Wine (32-bit process and 64-bit helpers alike), this library answers the serial
 * requests that a pseudo-terminal cannot: it serves TIOCMGET/TIOCMSET/TIOCMBIS/TIOCMBIC,
 * TIOCSERGETLSR, TIOCOUTQ and TIOCGICOUNT for a pty slave whose line-state file the simulator
 * keeps (lines_shared.h), records the speed, character size, parity and stop bits that the host
 * asks for, and counts the bytes the host writes so that "transmitter empty" holds only once the
 * simulator has taken them off the line. It also makes the port exclusive, as a Windows COM port
 * is: Wine does not check sharing on devices. Every other call, and every other file, passes
 * through untouched. No allocation; only system calls on the intercepted paths. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <termios.h>
#include <unistd.h>

#include "../lines_shared.h"

#define EXPORT __attribute__((visibility("default")))

/* Kernel layout of the termios2 record (TCGETS2/TCSETS2), which glibc's headers do not declare. */
struct termios2 {
  tcflag_t c_iflag; /* input modes */
  tcflag_t c_oflag; /* output modes */
  tcflag_t c_cflag; /* control modes: speed, size, parity, stop bits */
  tcflag_t c_lflag; /* local modes */
  cc_t c_line;      /* line discipline */
  cc_t c_cc[19];    /* control characters */
  speed_t c_ispeed; /* input speed in bits per second, with BOTHER */
  speed_t c_ospeed; /* output speed in bits per second, with BOTHER */
};

/* Kernel layout of the termios record of TCGETS/TCSETS. */
struct kernel_termios {
  tcflag_t c_iflag; /* input modes */
  tcflag_t c_oflag; /* output modes */
  tcflag_t c_cflag; /* control modes */
  tcflag_t c_lflag; /* local modes */
  cc_t c_line;      /* line discipline */
  cc_t c_cc[19];    /* control characters */
};
#define GLIBC_IBAUD0 020000000000 /* glibc-private input flag, never passed to the kernel */

/* Kernel layout of the TIOCGICOUNT record (linux/serial.h, not included to keep clear of the
 * kernel's termios headers). */
struct icounter {
  int cts, dsr, rng, dcd; /* modem line transitions */
  int rx, tx;             /* characters received and sent */
  int frame, overrun;     /* framing errors, overruns */
  int parity, brk;        /* parity errors, breaks */
  int buf_overrun;        /* buffer overruns */
  int reserved[9];        /* unused */
};

#ifndef TCGETS2
#define TCGETS2 _IOR('T', 0x2A, struct termios2)
#define TCSETS2 _IOW('T', 0x2B, struct termios2)
#define TCSETSW2 _IOW('T', 0x2C, struct termios2)
#define TCSETSF2 _IOW('T', 0x2D, struct termios2)
#endif
#ifndef BOTHER
#define BOTHER 0010000
#endif
#ifndef TIOCSER_TEMT
#define TIOCSER_TEMT 0x01
#endif

#define PTY_SLAVE_MAJOR_FIRST 136 /* UNIX98 pty slaves: majors 136..143, 256 minors each */
#define PTY_SLAVE_MAJOR_LAST 143
#define HOST_LINES (TIOCM_DTR | TIOCM_RTS)
#define SHADOW_CFLAGS                                                                              \
  (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB) /* a pty forces CS8, no parity                       \
                                               */
#define MAX_MAPPINGS 128
#define SLOTS 64

typedef int (*ioctl_fn)(int, unsigned long, ...);
typedef int (*tcsetattr_fn)(int, int, const struct termios*);
typedef int (*tcgetattr_fn)(int, struct termios*);
typedef ssize_t (*write_fn)(int, const void*, size_t);
typedef int (*open_fn)(const char*, int, ...);
typedef int (*openat_fn)(int, const char*, int, ...);

static ioctl_fn real_ioctl;
#if defined(__i386__)
static ioctl_fn real_ioctl_time64;
#endif
static tcsetattr_fn real_tcsetattr;
static tcgetattr_fn real_tcgetattr;
static write_fn real_write;
static open_fn real_open, real_open64;
static openat_fn real_openat, real_openat64;
static char lines_dir[200];

/* One mapped line-state file; entries are filled once and then only read. */
struct mapping {
  uint32_t pts;          /* pseudo-terminal number */
  ino64_t ino;           /* inode of the state file, to spot a replaced file */
  struct tlx_lines* rec; /* the mapped record */
};
static struct mapping pool[MAX_MAPPINGS];
static unsigned pool_used;
static struct mapping* slots[SLOTS];

static void resolve(void) {
  if (!real_write) {
    real_ioctl = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
#if defined(__i386__)
    real_ioctl_time64 = (ioctl_fn)dlsym(RTLD_NEXT, "__ioctl_time64");
#endif
    real_tcsetattr = (tcsetattr_fn)dlsym(RTLD_NEXT, "tcsetattr");
    real_tcgetattr = (tcgetattr_fn)dlsym(RTLD_NEXT, "tcgetattr");
    real_open = (open_fn)dlsym(RTLD_NEXT, "open");
    real_open64 = (open_fn)dlsym(RTLD_NEXT, "open64");
    real_openat = (openat_fn)dlsym(RTLD_NEXT, "openat");
    real_openat64 = (openat_fn)dlsym(RTLD_NEXT, "openat64");
    __atomic_store_n(&real_write, (write_fn)dlsym(RTLD_NEXT, "write"), __ATOMIC_RELEASE);
  }
}

__attribute__((constructor)) static void init(void) {
  const char* dir = getenv(TLX_LINES_DIR_ENV);
  struct stat64 st;
  if (!dir || !*dir || strlen(dir) >= sizeof lines_dir - 20)
    dir = stat64("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? TLX_LINES_DEFAULT_DIR
                                                              : TLX_LINES_FALLBACK_DIR;
  strcpy(lines_dir, dir);
  resolve();
}

static int record_usable(const struct tlx_lines* r, uint32_t pts) {
  return r->magic == TLX_LINES_MAGIC && r->version == TLX_LINES_VERSION && r->pts == pts &&
         __atomic_load_n(&r->alive, __ATOMIC_ACQUIRE) == 1;
}

/* Finds (mapping on first use) the live line-state record of pseudo-terminal `pts`. */
static struct tlx_lines* record_for_pts(uint32_t pts) {
  struct mapping* m = __atomic_load_n(&slots[pts % SLOTS], __ATOMIC_ACQUIRE);
  if (m && m->pts == pts && record_usable(m->rec, pts))
    return m->rec;
  if (!lines_dir[0])
    return NULL;

  char path[sizeof lines_dir + 32];
  size_t len = strlen(lines_dir);
  memcpy(path, lines_dir, len);
  memcpy(path + len, "/" TLX_LINES_FILE_PREFIX, sizeof TLX_LINES_FILE_PREFIX);
  len += sizeof TLX_LINES_FILE_PREFIX;
  char digits[12];
  int n = 0;
  uint32_t v = pts;
  do {
    digits[n++] = (char)('0' + v % 10);
    v /= 10;
  } while (v);
  while (n)
    path[len++] = digits[--n];
  path[len] = 0;

  int fd = (int)syscall(SYS_openat, AT_FDCWD, path, O_RDWR | O_CLOEXEC);
  if (fd < 0)
    return NULL;
  struct stat64 st;
  if (fstat64(fd, &st) != 0 || st.st_size < (off64_t)sizeof(struct tlx_lines) ||
      (m && m->pts == pts && m->ino == st.st_ino)) {
    close(fd); /* no record, or the one already mapped, which is no longer live */
    return NULL;
  }
  void* p = mmap(NULL, sizeof(struct tlx_lines), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (p == MAP_FAILED)
    return NULL;
  struct tlx_lines* r = (struct tlx_lines*)p;
  /* A simulator killed outright leaves its record marked live; its process is gone, though. */
  if (!record_usable(r, pts) || (r->sim_pid > 0 && kill(r->sim_pid, 0) != 0 && errno == ESRCH)) {
    munmap(p, sizeof(struct tlx_lines));
    return NULL;
  }
  unsigned i = __atomic_fetch_add(&pool_used, 1, __ATOMIC_ACQ_REL);
  if (i >= MAX_MAPPINGS) {
    munmap(p, sizeof(struct tlx_lines));
    return NULL;
  }
  pool[i].pts = pts;
  pool[i].ino = st.st_ino;
  pool[i].rec = r;
  __atomic_store_n(&slots[pts % SLOTS], &pool[i], __ATOMIC_RELEASE);
  return r;
}

/* The live record for descriptor `fd`, or NULL when it is not a simulated port. Keeps errno. */
static struct tlx_lines* record_for_fd(int fd) {
  if (fd < 0)
    return NULL;
  int saved = errno;
  struct tlx_lines* r = NULL;
  struct stat64 st;
  if (fstat64(fd, &st) == 0 && S_ISCHR(st.st_mode)) {
    unsigned maj = major(st.st_rdev);
    if (maj >= PTY_SLAVE_MAJOR_FIRST && maj <= PTY_SLAVE_MAJOR_LAST)
      r = record_for_pts((maj - PTY_SLAVE_MAJOR_FIRST) * 256u + minor(st.st_rdev));
  }
  errno = saved;
  return r;
}

/* Which thread of this process wrote to a simulated port last, and how many writes it made. */
struct last_write {
  uint32_t pts; /* the port's pseudo-terminal */
  pid_t tid;    /* the thread; 0: none yet */
  uint32_t seq; /* bumped by every write */
};
static struct last_write last_writes[SLOTS];

/* A thread asking about a port it did not write to: the port and the write it waited after. */
static __thread uint32_t watch_pts, watch_seq;
static __thread int watched;

#define WATCHER_DELAY_NS 50000000 /* 50 ms */

static void note_write(const struct tlx_lines* r) {
  struct last_write* w = &last_writes[r->pts % SLOTS];
  w->pts = r->pts;
  __atomic_store_n(&w->tid, (pid_t)syscall(SYS_gettid), __ATOMIC_RELEASE);
  __atomic_fetch_add(&w->seq, 1, __ATOMIC_ACQ_REL);
}

/* Wine 8's WaitCommEvent asks the server for the writes still pending only when a record it has
 * not yet filled in says it waits for the transmitter, so whether that wait finds the
 * transmitter empty at once depends on what malloc returned. When it does not, it hands the wait
 * to a new thread, which polls every millisecond and on success writes the result into the
 * caller's OVERLAPPED and sets its event; the caller, meanwhile, writes "pending" over that
 * result. When the caller is slower than the thread (emulated, or on a busy machine), the
 * operation stays pending with its event set, and the driver's send fails. So a thread that asks
 * about a port it did not write to is held back 50 ms, once after each write, before its first
 * answer: by then the caller has long written its "pending". */
static void hold_back_watcher(const struct tlx_lines* r) {
  const struct last_write* w = &last_writes[r->pts % SLOTS];
  const pid_t writer = __atomic_load_n(&w->tid, __ATOMIC_ACQUIRE);
  if (writer == 0 || w->pts != r->pts || writer == (pid_t)syscall(SYS_gettid))
    return;
  const uint32_t seq = __atomic_load_n(&w->seq, __ATOMIC_ACQUIRE);
  if (watched && watch_pts == r->pts && watch_seq == seq)
    return;
  watched = 1;
  watch_pts = r->pts;
  watch_seq = seq;
  const struct timespec delay = {0, WATCHER_DELAY_NS};
  nanosleep(&delay, NULL);
}

static uint32_t backlog(const struct tlx_lines* r) {
  int32_t pending = (int32_t)(__atomic_load_n(&r->written, __ATOMIC_ACQUIRE) -
                              __atomic_load_n(&r->drained, __ATOMIC_ACQUIRE));
  return pending > 0 ? (uint32_t)pending : 0;
}

/* Bits per second of a termios speed code (CBAUD field). */
static uint32_t speed_of(tcflag_t cflag) {
  static const uint32_t low[16] = {0,   50,   75,   110,  134,  150,  200,   300,
                                   600, 1200, 1800, 2400, 4800, 9600, 19200, 38400};
  static const uint32_t high[16] = {0,       57600,   115200,  230400,  460800,  500000,
                                    576000,  921600,  1000000, 1152000, 1500000, 2000000,
                                    2500000, 3000000, 3500000, 4000000};
  tcflag_t code = cflag & CBAUD;
  if (code & CBAUDEX)
    return high[code & 017];
  return low[code & 017];
}

static void record_settings(struct tlx_lines* r, tcflag_t cflag, uint32_t baud) {
  __atomic_store_n(&r->cflag, (uint32_t)cflag, __ATOMIC_RELEASE);
  __atomic_store_n(&r->baud, baud, __ATOMIC_RELEASE);
  __atomic_fetch_add(&r->settings_seq, 1, __ATOMIC_ACQ_REL);
}

/* A pty reports CS8 and no parity whatever was set; show the host what it asked for instead, so
 * that a read-modify-write of the settings keeps them. */
static tcflag_t shadow_cflag(const struct tlx_lines* r, tcflag_t actual) {
  if (__atomic_load_n(&r->settings_seq, __ATOMIC_ACQUIRE) == 0)
    return actual;
  return (actual & ~(tcflag_t)SHADOW_CFLAGS) |
         (__atomic_load_n(&r->cflag, __ATOMIC_ACQUIRE) & SHADOW_CFLAGS);
}

static void set_out_lines(struct tlx_lines* r, unsigned long req, int bits) {
  uint32_t b = (uint32_t)bits & HOST_LINES;
  if (req == TIOCMSET)
    __atomic_store_n(&r->out_lines, b, __ATOMIC_RELEASE);
  else if (req == TIOCMBIS)
    __atomic_fetch_or(&r->out_lines, b, __ATOMIC_ACQ_REL);
  else
    __atomic_fetch_and(&r->out_lines, ~b, __ATOMIC_ACQ_REL);
  __atomic_fetch_add(&r->out_changes, 1, __ATOMIC_ACQ_REL);
}

/* Serves the requests a pty cannot answer. Returns 1 with *result set when it answered. */
static int serve_ioctl(int fd, unsigned long req, void* arg, int* result) {
  switch (req) {
  case TIOCMGET:
  case TIOCMSET:
  case TIOCMBIS:
  case TIOCMBIC:
  case TIOCSERGETLSR:
  case TIOCOUTQ:
  case TIOCGICOUNT:
    break;
  default:
    return 0;
  }
  struct tlx_lines* r = record_for_fd(fd);
  if (!r || !arg)
    return 0;
  switch (req) {
  case TIOCMGET: {
    const uint32_t out = __atomic_load_n(&r->out_lines, __ATOMIC_ACQUIRE);
    uint32_t in = __atomic_load_n(&r->in_lines, __ATOMIC_ACQUIRE);
    /* A loopback jumper ties the host's own lines back to it: RTS to CTS, DTR to DSR. */
    if (__atomic_load_n(&r->loop_lines, __ATOMIC_ACQUIRE))
      in = (in & ~(uint32_t)(TIOCM_CTS | TIOCM_DSR)) | ((out & TIOCM_RTS) ? TIOCM_CTS : 0) |
           ((out & TIOCM_DTR) ? TIOCM_DSR : 0);
    *(int*)arg = (int)(in | out);
    break;
  }
  case TIOCMSET:
  case TIOCMBIS:
  case TIOCMBIC:
    set_out_lines(r, req, *(const int*)arg);
    break;
  case TIOCSERGETLSR:
    hold_back_watcher(r);
    *(int*)arg = backlog(r) ? 0 : TIOCSER_TEMT;
    break;
  case TIOCOUTQ:
    *(int*)arg = (int)backlog(r);
    break;
  case TIOCGICOUNT: {
    struct icounter* c = (struct icounter*)arg;
    memset(c, 0, sizeof *c);
    c->tx = (int)__atomic_load_n(&r->drained, __ATOMIC_ACQUIRE);
    c->frame = (int)__atomic_load_n(&r->err_frame, __ATOMIC_ACQUIRE);
    c->overrun = (int)__atomic_load_n(&r->err_overrun, __ATOMIC_ACQUIRE);
    c->parity = (int)__atomic_load_n(&r->err_parity, __ATOMIC_ACQUIRE);
    c->brk = (int)__atomic_load_n(&r->err_break, __ATOMIC_ACQUIRE);
    break;
  }
  }
  *result = 0;
  return 1;
}

/* Line settings through the ioctl path (newer Wine uses TCSETS2): recorded, then passed on. */
static void note_set_ioctl(int fd, unsigned long req, const void* arg) {
  if (!arg)
    return;
  int two = req == TCSETS2 || req == TCSETSW2 || req == TCSETSF2;
  if (!two && req != TCSETS && req != TCSETSW && req != TCSETSF)
    return;
  struct tlx_lines* r = record_for_fd(fd);
  if (!r)
    return;
  tcflag_t cflag = ((const struct termios2*)arg)->c_cflag; /* same offset in both layouts */
  uint32_t baud = speed_of(cflag);
  if (two && (cflag & CBAUD) == BOTHER)
    baud = ((const struct termios2*)arg)->c_ospeed;
  record_settings(r, cflag, baud);
}

static void shadow_get_ioctl(int fd, unsigned long req, void* arg) {
  if (!arg || (req != TCGETS && req != TCGETS2))
    return;
  struct tlx_lines* r = record_for_fd(fd);
  if (r) {
    struct termios2* t = (struct termios2*)arg;
    t->c_cflag = shadow_cflag(r, t->c_cflag);
  }
}

static int ioctl_common(ioctl_fn real, int fd, unsigned long req, void* arg) {
  int result;
  if (serve_ioctl(fd, req, arg, &result))
    return result;
  note_set_ioctl(fd, req, arg);
  if (!real)
    result = (int)syscall(SYS_ioctl, fd, req, arg);
  else
    result = real(fd, req, arg);
  if (result == 0)
    shadow_get_ioctl(fd, req, arg);
  return result;
}

EXPORT int ioctl(int fd, unsigned long req, ...) {
  va_list ap;
  va_start(ap, req);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  resolve();
  return ioctl_common(real_ioctl, fd, req, arg);
}

#if defined(__i386__)
/* 32-bit programs built with 64-bit time (Wine's ntdll among them) call this name instead. */
EXPORT int __ioctl_time64(int fd, unsigned long req, ...) {
  va_list ap;
  va_start(ap, req);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  resolve();
  return ioctl_common(real_ioctl_time64 ? real_ioctl_time64 : real_ioctl, fd, req, arg);
}
#endif

/* glibc's tcsetattr reads the settings back after TCSETS and fails with EINVAL when a pty has
 * dropped PARENB or changed CSIZE, which makes Wine's SetCommState fail for 7 data bits or any
 * parity. On a simulated port the request goes to the kernel directly instead; the shadowed
 * settings make the port look as the host set it. */
EXPORT int tcsetattr(int fd, int action, const struct termios* t) {
  resolve();
  struct tlx_lines* r = t ? record_for_fd(fd) : NULL;
  if (!r)
    return real_tcsetattr(fd, action, t);
  unsigned long cmd = action == TCSANOW     ? TCSETS
                      : action == TCSADRAIN ? TCSETSW
                      : action == TCSAFLUSH ? TCSETSF
                                            : 0;
  if (!cmd) {
    errno = EINVAL;
    return -1;
  }
  struct kernel_termios k;
  k.c_iflag = t->c_iflag & ~(tcflag_t)GLIBC_IBAUD0;
  k.c_oflag = t->c_oflag;
  k.c_cflag = t->c_cflag;
  k.c_lflag = t->c_lflag;
  k.c_line = t->c_line;
  memcpy(k.c_cc, t->c_cc, sizeof k.c_cc);
  int result = (int)syscall(SYS_ioctl, fd, cmd, &k);
  if (result == 0)
    record_settings(r, t->c_cflag, speed_of(t->c_cflag));
  return result;
}

EXPORT int tcgetattr(int fd, struct termios* t) {
  resolve();
  int result = real_tcgetattr(fd, t);
  if (result == 0 && t) {
    struct tlx_lines* r = record_for_fd(fd);
    if (r)
      t->c_cflag = shadow_cflag(r, t->c_cflag);
  }
  return result;
}

/* Whether the simulator takes the line's bytes off as fast as they come. */
static int drains_at_once(const struct tlx_lines* r) {
  uint32_t rate = __atomic_load_n(&r->drain_bps, __ATOMIC_ACQUIRE);
  return rate == TLX_LINES_RATE_FAST ||
         (rate == TLX_LINES_RATE_HOST && __atomic_load_n(&r->baud, __ATOMIC_ACQUIRE) == 0);
}

/* On a line without a drain rate, waits until the simulator has taken every byte written, so
 * that the transmitter is empty when the write returns, as on a line of infinite speed, and the
 * WaitCommEvent that follows finds it empty at once instead of handing the wait to a thread of
 * Wine's (see hold_back_watcher). A simulator busy elsewhere may take a while to drain: the
 * wait is bounded by 2 s and ends when the line goes. */
static void wait_until_drained(const struct tlx_lines* r) {
  const struct timespec pause = {0, 100000}; /* 0.1 ms */
  for (int i = 0; i < 20000 && backlog(r) && __atomic_load_n(&r->alive, __ATOMIC_ACQUIRE) == 1;
       ++i) {
    if (i % 1000 == 999 && r->sim_pid > 0 && kill(r->sim_pid, 0) != 0 && errno == ESRCH)
      return;
    nanosleep(&pause, NULL);
  }
}

/* Counts the bytes before they reach the line, so the simulator can never have drained more than
 * the count says, and takes back what the write did not accept. */
EXPORT ssize_t write(int fd, const void* buf, size_t count) {
  write_fn real = __atomic_load_n(&real_write, __ATOMIC_ACQUIRE);
  struct tlx_lines* r = count ? record_for_fd(fd) : NULL;
  if (r)
    __atomic_fetch_add(&r->written, (uint32_t)count, __ATOMIC_ACQ_REL);
  ssize_t done = real ? real(fd, buf, count) : syscall(SYS_write, fd, buf, count);
  int saved = errno;
  if (r && (size_t)(done < 0 ? 0 : done) < count)
    __atomic_fetch_sub(&r->written, (uint32_t)(count - (size_t)(done < 0 ? 0 : done)),
                       __ATOMIC_ACQ_REL);
  if (r && done > 0) {
    if (drains_at_once(r))
      wait_until_drained(r);
    note_write(r);
  }
  errno = saved;
  return done;
}

/* Decimal digits of v at p; returns the end. */
static char* put_number(char* p, uint32_t v) {
  char digits[12];
  int n = 0;
  do {
    digits[n++] = (char)('0' + v % 10);
    v /= 10;
  } while (v);
  while (n)
    *p++ = digits[--n];
  *p = 0;
  return p;
}

/* Whether process `pid` has the device `rdev` open on a descriptor other than `except`. Reads
 * /proc/PID/fd with getdents64 so that nothing is allocated. */
static int process_holds(pid_t pid, int except, dev_t rdev) {
  char path[64] = "/proc/";
  char* end = put_number(path + 6, (uint32_t)pid);
  memcpy(end, "/fd", 4);
  int dir = (int)syscall(SYS_openat, AT_FDCWD, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0)
    return 0; /* the process is gone */
  size_t base = strlen(path);
  path[base++] = '/';
  int held = 0;
  char buf[2048];
  long n;
  while (!held && (n = syscall(SYS_getdents64, dir, buf, sizeof buf)) > 0) {
    for (long off = 0; off < n && !held;) {
      const char* name = buf + off + 19; /* d_ino 8, d_off 8, d_reclen 2, d_type 1 */
      unsigned short reclen;
      memcpy(&reclen, buf + off + 16, sizeof reclen);
      off += reclen;
      if (name[0] < '0' || name[0] > '9' || atoi(name) == except)
        continue;
      strcpy(path + base, name);
      struct stat64 st;
      held = stat64(path, &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == rdev;
    }
  }
  close(dir);
  return held;
}

/* A simulated port opened while another descriptor holds it fails with EACCES, which Wine turns
 * into ERROR_ACCESS_DENIED as Windows gives for a COM port in use. A holder that went away,
 * with or without closing, holds nothing. */
static int claim_port(int fd) {
  if (fd < 0)
    return fd;
  int saved = errno;
  struct tlx_lines* r = record_for_fd(fd);
  struct stat64 st;
  if (r && fstat64(fd, &st) == 0) {
    pid_t self = getpid();
    int32_t holder = __atomic_load_n(&r->holder_pid, __ATOMIC_ACQUIRE);
    if (holder > 0 && process_holds(holder, holder == self ? fd : -1, st.st_rdev)) {
      close(fd);
      errno = EACCES;
      return -1;
    }
    __atomic_store_n(&r->holder_pid, (int32_t)self, __ATOMIC_RELEASE);
  }
  errno = saved;
  return fd;
}

/* Every open gets O_NOCTTY. The wineserver opens serial devices itself, without it, and is a
 * session leader with no terminal: the first pty it opened would become its controlling
 * terminal, and the SIGHUP that follows when the simulator closes the line makes it dump all its
 * objects to the console. O_NOCTTY changes nothing for files that are not terminals. */
#define OPEN_FLAGS(flags) ((flags) | O_NOCTTY)

static mode_t open_mode(int flags, va_list ap) {
  return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? (mode_t)va_arg(ap, unsigned) : 0;
}

EXPORT int open(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  mode_t mode = open_mode(flags, ap);
  va_end(ap);
  int fd = real_open ? real_open(path, OPEN_FLAGS(flags), mode)
                     : (int)syscall(SYS_openat, AT_FDCWD, path, OPEN_FLAGS(flags), mode);
  return claim_port(fd);
}

EXPORT int open64(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  mode_t mode = open_mode(flags, ap);
  va_end(ap);
  int fd = real_open64
               ? real_open64(path, OPEN_FLAGS(flags), mode)
               : (int)syscall(SYS_openat, AT_FDCWD, path, OPEN_FLAGS(flags) | O_LARGEFILE, mode);
  return claim_port(fd);
}

EXPORT int openat(int dir, const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  mode_t mode = open_mode(flags, ap);
  va_end(ap);
  int fd = real_openat ? real_openat(dir, path, OPEN_FLAGS(flags), mode)
                       : (int)syscall(SYS_openat, dir, path, OPEN_FLAGS(flags), mode);
  return claim_port(fd);
}

EXPORT int openat64(int dir, const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  mode_t mode = open_mode(flags, ap);
  va_end(ap);
  int fd = real_openat64
               ? real_openat64(dir, path, OPEN_FLAGS(flags), mode)
               : (int)syscall(SYS_openat, dir, path, OPEN_FLAGS(flags) | O_LARGEFILE, mode);
  return claim_port(fd);
}
