// Fuzz target: the console replies on arbitrary bytes: input file names
// until one opens, then window sizes until one is in the table. Runs in a
// directory of its own that holds a history, a directory, a FIFO and a hard
// link to an output file; inputs naming anything outside it (a '/') are
// skipped, so no other file of the machine is ever opened.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dialogue/dialogue.h"
#include "input/input.h"
#include "run/runstate.h"
#include "run/seam.h"

namespace {

std::jmp_buf back;
char dir[] = "/tmp/sonotrace-fuzz-XXXXXX";

void removedir() {
  for (const char* n : {"h", "p", "a", "sonotrace.out", "sonotracea.out", "ffta.out"}) unlink(n);
  rmdir("d");
  if (chdir("/") == 0) rmdir(dir);
}

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "replies: %s\n", what);
  std::abort();
}

// The first token from pos on that is a window size of the table: wholly an
// optional sign and decimal digits, within 32 bits signed, a power of two
// from 2 to 262144. Sets the size and the end of the token.
bool firstsize(const uint8_t* d, size_t size, size_t pos, long& value, size_t& tokend) {
  size_t i = pos;
  for (;;) {
    while (i < size && std::isspace(d[i])) ++i;
    if (i == size) return false;
    size_t start = i;
    while (i < size && !std::isspace(d[i])) ++i;
    std::string tok(reinterpret_cast<const char*>(d + start), i - start);
    size_t k = tok[0] == '+' || tok[0] == '-';
    bool digits = k < tok.size();
    for (size_t j = k; j < tok.size(); ++j)
      digits &= std::isdigit(static_cast<unsigned char>(tok[j])) != 0;
    if (!digits) continue;
    errno = 0;
    long long v = std::strtoll(tok.c_str(), nullptr, 10);
    if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) continue;
    for (long p = 2; p <= 262144; p *= 2)
      if (v == p) {
        value = p;
        tokend = i;
        return true;
      }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!mkdtemp(dir) || chdir(dir) != 0) std::abort();
  std::atexit(removedir);
  FILE* h = std::fopen("h", "w");
  FILE* o = std::fopen("ffta.out", "w");
  if (!h || !o || std::fputs("0 1\n1 2\n", h) < 0) std::abort();
  std::fclose(h);
  std::fclose(o);
  if (mkdir("d", 0755) != 0 || mkfifo("p", 0644) != 0 || link("ffta.out", "a") != 0) std::abort();
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (std::memchr(data, '/', size)) return 0;
  std::memset(rs.names, 0, sizeof rs.names);
  rs.infile = nullptr;
  for (FILE*& o : rs.outs) o = nullptr;
  rs.reply = 0;
  rs.m = rs.nstages = 0;
  rs.stepdt = 0.001;
  seam = {&back, data, size, 0, 0};

  volatile bool opened = false;
  volatile size_t after = 0;
  if (setjmp(back) == 0) {
    opendialog();
    opened = true;
    after = seam.inpos;
    // What opened is a regular file of this directory, not an output.
    struct stat in, out;
    if (std::memchr(rs.names[0], '\0', namelen) == nullptr) fail("name slot not terminated");
    if (stat(rs.names[0], &in) != 0 || !S_ISREG(in.st_mode)) fail("opened no regular file");
    if (stat("ffta.out", &out) == 0 && out.st_ino == in.st_ino) fail("opened an output file");
    pickwindow();
    long want;
    size_t tokend;
    if (!firstsize(data, size, after, want, tokend)) fail("took a size where there is none");
    if (rs.m != uint32_t(want) || rs.reply != want || (1u << rs.nstages) != rs.m)
      fail("took another size than the first one in the table");
    if (seam.inpos != (tokend < size ? tokend + 1 : size)) fail("did not stop after the size");
  } else {
    // Ended at the end of the replies: no keys waited for, and no size was
    // left to take.
    long want;
    size_t tokend;
    if (seam.keywaits != 0) fail("waited for a key");
    if (seam.inpos != size) fail("ended before the end of the replies");
    if (opened && firstsize(data, size, after, want, tokend)) fail("missed a size in the table");
  }
  seam.exit = nullptr;
  seam.in = nullptr;
  if (rs.infile) std::fclose(rs.infile);
  for (int k = 1; k <= 3; ++k)
    if (rs.outs[k]) std::fclose(rs.outs[k]);
  return 0;
}
