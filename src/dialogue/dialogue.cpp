#include "dialogue/dialogue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "run/runstate.h"
#include "run/seam.h"

static const char* const outnames[4] = {nullptr, "sonotrace.out", "sonotracea.out", "ffta.out"};
static char outbufs[4][BUFSIZ];

int conbyte() {
  // Any byte may be the one that blocks; flushing an empty buffer is cheap.
  std::fflush(stdout);
#ifdef SONOTRACE_SEAM
  if (seam.in) return seam.inpos < seam.inlen ? seam.in[seam.inpos++] : EOF;
#endif
  return std::getchar();
}

static bool blank(int c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reads one whitespace-delimited token into slot 0. Returns its full length
// (the slot keeps at most namelen - 1 bytes), or -1 at the end of input.
static long readname() {
  int c;
  do c = conbyte();
  while (c != EOF && blank(c));
  if (c == EOF) return -1;
  long len = 0;
  for (; c != EOF && !blank(c); c = conbyte(), ++len)
    if (len < namelen - 1) rs.names[0][len] = char(c);
  rs.names[0][len < namelen - 1 ? len : namelen - 1] = '\0';
  return len;
}

enum openresult { opened, failed, isoutput };

// Only a regular file is taken; O_NONBLOCK keeps a FIFO from hanging the
// prompt, and the inode check keeps the output creation from truncating it.
static openresult openinput() {
  int fd = open(rs.names[0], O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return failed;
  struct stat in;
  if (fstat(fd, &in) != 0 || !S_ISREG(in.st_mode)) {
    close(fd);
    return failed;
  }
  for (int k = 1; k <= 3; ++k) {
    struct stat out;
    if (stat(outnames[k], &out) == 0 && out.st_dev == in.st_dev && out.st_ino == in.st_ino) {
      close(fd);
      return isoutput;
    }
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  rs.infile = fdopen(fd, "rb");
  if (!rs.infile) {
    close(fd);
    return failed;
  }
  // The reader reads in large blocks of its own; a stream buffer would be
  // allocated at the first read, after start-up.
  std::setvbuf(rs.infile, nullptr, _IONBF, 0);
  return opened;
}

void opendialog() {
  std::fputs(
      "\n  Sonotrace  - version 1.0, May 8, 2007 "
      "\n  by the Sonotrace developers "
      "\n  Email:  not published \n"
      "\n This program calculates the peak frequency vs time of a time history. \n"
      "\n The Fast Fourier transform method is used. "
      "\n The input file must contain two columns: \n"
      " time(sec)  amplitude(units)    \n"
      " \n An error message will occur if the file does not exist.\n"
      " Input filename \n",
      stdout);
  for (;;) {
    long len = readname();
    if (len < 0) {
      std::fputs("\n No input filename given. \n", stdout);
      quit();
    }
    if (len >= namelen) {
      std::fputs("\n File name too long (at most 259 characters). \n", stdout);
    } else {
      openresult r = openinput();
      if (r == opened) break;
      if (r == failed)
        std::printf("\n Failed to open file: %s \n", rs.names[0]);
      else
        std::printf("\n Cannot use an output file as input: %s \n", rs.names[0]);
    }
    std::fputs("\n Please enter the input filename: \n", stdout);
  }
  std::printf("\n File: %s opened. \n", rs.names[0]);
  std::fputs("\n", stdout);

  for (int k = 1; k <= 3; ++k) {
    std::strcpy(rs.names[k], outnames[k]);
    rs.outs[k] = std::fopen(rs.names[k], "w");
    // Static buffers: the library would allocate them at the first record.
    if (rs.outs[k]) std::setvbuf(rs.outs[k], outbufs[k], _IOFBF, sizeof outbufs[k]);
  }
  for (int k = 1; k <= 3; ++k) {
    if (rs.outs[k])
      std::printf(" File[%ld]: %s opened. \n", long(k), rs.names[k]);
    else
      std::printf(" Failed to open file: %s \n", rs.names[k]);
  }
}

void keywait() {
  std::fflush(stdout);
#ifdef SONOTRACE_SEAM
  if (seam.exit) {
    ++seam.keywaits;
    return;
  }
#endif
  int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  termios old;
  if (tcgetattr(fd, &old) == 0) {
    termios raw = old;
    raw.c_lflag &= ~(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~(IXON);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &raw) == 0) {
      unsigned char key;
      while (read(fd, &key, 1) < 0 && errno == EINTR) {
      }
      tcsetattr(fd, TCSANOW, &old);
    }
  }
  close(fd);
}

void finish() {
  // A write error on a record file is reported rather than lost at exit.
  for (int k = 1; k <= 3; ++k)
    if (rs.outs[k] && (std::fflush(rs.outs[k]) != 0 || std::ferror(rs.outs[k])))
      std::printf("\n Failed to write file: %s \n", rs.names[k]);
  std::fputs("\n\n Output Files \n", stdout);
  std::printf("\n %s \n", rs.names[1]);
  std::fputs("\n The format is:  Time(sec) & Freq(Hz) \n ", stdout);
  std::printf("\n %s \n", rs.names[2]);
  std::fputs("\n The format is:  Time(sec) & Freq(Hz) & Peak(unit)  \n", stdout);
  std::printf("\n %s \n", rs.names[3]);
  std::fputs("\n The format is:  Freq(Hz) & Peak(unit)  \n", stdout);
  std::fputs(
      "\n\n Please call the output files into your own plotting program."
      "\n Press any key to exit.",
      stdout);
  keywait();
  quit();
}
