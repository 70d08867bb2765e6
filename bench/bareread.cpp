// sonobare: the bare two-pass read of a time history, for the whole-run
// script to time the program against. It runs the statistics pass, rewinds,
// then reads every segment of the given window without analysing it.
//
//   sonobare FILE [WINDOW]    both passes (window 1024 by default)
//   sonobare FILE stats       the statistics pass alone
//
// Writes the time of each pass to standard error ("pass 1: S s").
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "input/input.h"
#include "run/runstate.h"

using clk = std::chrono::steady_clock;
static clk::time_point start, between;

static double secs(clk::time_point a, clk::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// Both passes end the process (through quit), so the times are told at exit.
static void tell() {
  const clk::time_point end = clk::now();
  if (between == clk::time_point()) {
    std::fprintf(stderr, "pass 1: %.6f s\n", secs(start, end));
  } else {
    std::fprintf(stderr, "pass 1: %.6f s\n", secs(start, between));
    std::fprintf(stderr, "pass 2: %.6f s\n", secs(between, end));
  }
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: sonobare FILE [WINDOW|stats]\n", stderr);
    return 2;
  }
  static char conbuf[1 << 16];
  std::setvbuf(stdout, conbuf, _IOFBF, sizeof conbuf);
  rs.twopi = rs.pi + rs.pi;
  rs.infile = std::fopen(argv[1], "rb");
  if (!rs.infile) {
    std::perror(argv[1]);
    return 2;
  }
  bool statsonly = argc > 2 && !std::strcmp(argv[2], "stats");
  rs.m = argc > 2 && !statsonly ? uint32_t(std::atol(argv[2])) : 1024;
  if (rs.m < 2 || rs.m > nsamples) return 2;
  std::atexit(tell);
  start = clk::now();
  readstats();
  if (statsonly) quit();
  between = clk::now();
  // readsegment ends the process through finish at the first short segment.
  for (;;) readsegment();
}
