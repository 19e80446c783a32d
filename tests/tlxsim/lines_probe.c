/* Makes the terminal requests Wine's serial code makes, one per argument, and prints one
 * key=value line for each, so that the preload tests can run it under libtlxlines.so in both
 * ABIs. The first argument is the terminal to open, or "ptmx" for a fresh pty of its own.
 *
 *   mget | mbis=HEX | mbic=HEX | mset=HEX    modem lines (TIOCMGET/BIS/BIC/SET)
 *   lsr | outq | icount                      transmitter empty, output queue, error counts
 *   set=BAUD,BITS,PARITY,STOP | get          line settings through tcsetattr/tcgetattr
 *   write=N | temt                           write N bytes; wait for transmitter empty
 *   open2 | close                            open the terminal once more; close the first */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

/* Kernel layout of the TIOCGICOUNT record. */
struct icounter {
  int cts, dsr, rng, dcd; /* line transitions */
  int rx, tx;             /* characters */
  int frame, overrun;     /* framing errors, overruns */
  int parity, brk;        /* parity errors, breaks */
  int buf_overrun;        /* buffer overruns */
  int reserved[9];        /* unused */
};

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

static speed_t speed_code(long baud) {
  switch (baud) {
  case 1200:
    return B1200;
  case 2400:
    return B2400;
  case 4800:
    return B4800;
  case 9600:
    return B9600;
  case 19200:
    return B19200;
  case 38400:
    return B38400;
  case 115200:
    return B115200;
  }
  return B0;
}

static long speed_value(speed_t code) {
  static const long table[][2] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},    {B9600, 9600},
                                  {B19200, 19200}, {B38400, 38400}, {B115200, 115200}};
  for (size_t i = 0; i < sizeof table / sizeof table[0]; ++i)
    if ((speed_t)table[i][0] == code)
      return table[i][1];
  return 0;
}

static int lsr_empty(int fd) {
  int v = 0;
  if (ioctl(fd, TIOCSERGETLSR, &v) != 0)
    return -1;
  return (v & TIOCSER_TEMT) != 0;
}

static const char* target; /* the terminal's path */

static void step(int fd, const char* s) {
  int v = 0;
  if (!strcmp(s, "open2")) {
    int again = open(target, O_RDWR | O_NOCTTY);
    if (again >= 0) {
      printf("open2=0\n");
      close(again);
    } else {
      printf("open2=err:%d\n", errno);
    }
  } else if (!strcmp(s, "close")) {
    printf("close=%d\n", close(fd));
  } else if (!strcmp(s, "mget")) {
    if (ioctl(fd, TIOCMGET, &v) == 0)
      printf("mget=0x%x\n", v);
    else
      printf("mget=err:%d\n", errno);
  } else if (!strncmp(s, "mbis=", 5) || !strncmp(s, "mbic=", 5) || !strncmp(s, "mset=", 5)) {
    unsigned long req = !strncmp(s, "mbis", 4)   ? TIOCMBIS
                        : !strncmp(s, "mbic", 4) ? TIOCMBIC
                                                 : TIOCMSET;
    v = (int)strtol(s + 5, NULL, 16);
    printf("%.4s=%s\n", s, ioctl(fd, req, &v) == 0 ? "0" : "err");
  } else if (!strcmp(s, "lsr")) {
    int e = lsr_empty(fd);
    printf(e < 0 ? "lsr=err\n" : "lsr=%d\n", e);
  } else if (!strcmp(s, "outq")) {
    if (ioctl(fd, TIOCOUTQ, &v) == 0)
      printf("outq=%d\n", v);
    else
      printf("outq=err\n");
  } else if (!strcmp(s, "icount")) {
    struct icounter c;
    memset(&c, 0, sizeof c);
    if (ioctl(fd, TIOCGICOUNT, &c) == 0)
      printf("icount=%d,%d,%d,%d\n", c.frame, c.parity, c.overrun, c.brk);
    else
      printf("icount=err\n");
  } else if (!strncmp(s, "set=", 4)) {
    long baud = 0;
    int bits = 8, stop = 1;
    char parity = 'N';
    sscanf(s + 4, "%ld,%d,%c,%d", &baud, &bits, &parity, &stop);
    struct termios t;
    tcgetattr(fd, &t);
    cfsetospeed(&t, speed_code(baud));
    cfsetispeed(&t, speed_code(baud));
    t.c_cflag &= ~(tcflag_t)(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    t.c_cflag |= bits == 5 ? CS5 : bits == 6 ? CS6 : bits == 7 ? CS7 : CS8;
    if (parity != 'N')
      t.c_cflag |= PARENB;
    if (parity == 'O' || parity == 'M')
      t.c_cflag |= PARODD;
    if (parity == 'M' || parity == 'S')
      t.c_cflag |= CMSPAR;
    if (stop == 2)
      t.c_cflag |= CSTOPB;
    errno = 0;
    if (tcsetattr(fd, TCSANOW, &t) == 0)
      printf("set=0\n");
    else
      printf("set=err:%d\n", errno);
  } else if (!strcmp(s, "get")) {
    struct termios t;
    if (tcgetattr(fd, &t) != 0) {
      printf("get=err\n");
      return;
    }
    tcflag_t c = t.c_cflag;
    int bits = (c & CSIZE) == CS5 ? 5 : (c & CSIZE) == CS6 ? 6 : (c & CSIZE) == CS7 ? 7 : 8;
    char parity = !(c & PARENB)  ? 'N'
                  : (c & CMSPAR) ? ((c & PARODD) ? 'M' : 'S')
                                 : ((c & PARODD) ? 'O' : 'E');
    printf("get=%ld,%d,%c,%d\n", speed_value(cfgetospeed(&t)), bits, parity, (c & CSTOPB) ? 2 : 1);
  } else if (!strncmp(s, "write=", 6)) {
    int n = atoi(s + 6);
    char* buf = malloc((size_t)n);
    memset(buf, '0', (size_t)n);
    int done = 0;
    while (done < n) {
      ssize_t r = write(fd, buf + done, (size_t)(n - done));
      if (r <= 0)
        break;
      done += (int)r;
    }
    free(buf);
    printf("write=%d\n", done);
  } else if (!strcmp(s, "temt")) {
    double t0 = now_ms();
    int e;
    while ((e = lsr_empty(fd)) == 0 && now_ms() - t0 < 10000)
      usleep(1000);
    printf(e < 0 ? "temt=err\n" : "temt=%.0f\n", now_ms() - t0);
  } else {
    printf("%s=unknown\n", s);
  }
  fflush(stdout);
}

int main(int argc, char** argv) {
  if (argc < 2)
    return 2;
  target = argv[1];
  if (!strcmp(argv[1], "ptmx")) {
    int m = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(m);
    unlockpt(m);
    target = ptsname(m);
  }
  int fd = open(target, O_RDWR | O_NOCTTY);
  if (fd < 0) {
    printf("open=err:%d\n", errno);
    return 1;
  }
  for (int i = 2; i < argc; ++i)
    step(fd, argv[i]);
  return 0;
}
