// Fuzz target: a whole run in process on an arbitrary time-history file:
// the statistics pass, the window choice, the segment loop with the reorder,
// the transform and the peak search, and the end-of-run report. The first
// byte picks the window (2 to 32); the rest is the file. The paths that end
// the process come back here through the test seam.
#include <unistd.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "run/runstate.h"
#include "run/seam.h"

namespace {

std::jmp_buf back;
char dir[] = "/tmp/sonotrace-fuzz-XXXXXX";

void removedir() {
  for (const char* n : {"h.txt", "sonotrace.out", "sonotracea.out", "ffta.out"}) unlink(n);
  if (chdir("/") == 0) rmdir(dir);
}

long lines(const char* name) {
  FILE* f = std::fopen(name, "r");
  if (!f) std::abort();
  long n = 0;
  for (int c; (c = std::fgetc(f)) != EOF;) n += c == '\n';
  std::fclose(f);
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!mkdtemp(dir) || chdir(dir) != 0) std::abort();
  std::atexit(removedir);
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  FILE* f = std::fopen("h.txt", "wb");
  if (!f || std::fwrite(data + 1, 1, size - 1, f) != size - 1 || std::fclose(f) != 0) std::abort();
  const std::string replies = "h.txt\n" + std::to_string(2u << (data[0] % 5)) + "\n";

  // A fresh run: everything but the constants and the buffers as at start.
  const double pi = rs.pi;
  std::memset(rs.names, 0, sizeof rs.names);
  rs.infile = nullptr;
  for (FILE*& o : rs.outs) o = nullptr;
  rs.n = rs.m = rs.nstages = 0;
  rs.reply = 0;
  rs.stepdt = rs.df = rs.tmid = rs.segpeak = rs.pkmag = rs.pkfreq = 0;
  rs.pi = pi;
  seam = {&back, reinterpret_cast<const unsigned char*>(replies.data()), replies.size(), 0, 0};

  if (setjmp(back) == 0) {
    driver();  // never returns: every way out goes through quit
  }
  seam.exit = nullptr;
  seam.in = nullptr;

  if (!rs.infile) std::abort();
  std::fclose(rs.infile);
  for (int k = 1; k <= 3; ++k)
    if (rs.outs[k]) std::fclose(rs.outs[k]);
  if (seam.keywaits > 1) std::abort();
  // Past the window choice the segment pass must find every record that the
  // statistics pass counted: one result per full segment.
  if (rs.m) {
    if (seam.keywaits != 1) std::abort();
    long want = long(rs.n / rs.m);
    if (want > 9999) want = 9999;
    if (lines("sonotrace.out") != want || lines("sonotracea.out") != want) std::abort();
  }
  return 0;
}
