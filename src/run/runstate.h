// The one run state record that every operation reads and writes, and the
// driver. All storage is static; nothing is allocated while the program runs.
#pragma once
#include <cstdint>
#include <cstdio>

struct cplx {
  float re;
  float im;
};

constexpr uint32_t nsamples = 262144;  // largest window, 2^18
constexpr uint32_t nscratch = 262144;  // a whole window, as the literal reorder copies it
constexpr int namelen = 260;           // a name slot, terminating zero included

struct runstate {
  char names[4][namelen];  // 0 input as typed, 1..3 the output files
  FILE* infile;
  FILE* outs[4];  // slots 1..3 used; null where the file could not be created

  double pi;
  double twopi;
  uint32_t n;        // records in the history
  double stepdt;     // (dtmax + dtmin) / 2, the step the window table uses
  int32_t reply;     // window size as typed
  uint32_t m;        // window size, 2^nstages
  uint32_t nstages;  // 1..18
  double df;         // 1 / (m * stepdt)
  double tmid;       // (first + last time of the segment) / 2
  double segpeak;    // largest |amplitude| of the segment, first one included
  double pkmag;      // largest single-sided amplitude so far in the segment
  double pkfreq;     // frequency of the winning bin; 0 when none won

  cplx samples[nsamples];
  // The even/odd reorder's copy and the per-stage twiddle table of the
  // literal steps (the tests' reference). The program reorders in place and
  // keeps its one twiddle table per window apart, so it never touches
  // scratch and its pages are never made resident.
  cplx scratch[nscratch];
};

extern runstate rs;

// Sets twopi, then opendialog, readstats, pickwindow and at most 9999
// segments of readsegment, bitrev, ctfourier; ends through finish.
[[noreturn]] void driver();

// Every path out of the process: flush the console, exit with status 1.
[[noreturn]] void quit();
