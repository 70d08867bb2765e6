// The reorder, transform and peak search done step by step as the program's
// design lays them out, with none of the production shortcuts: the reorder
// splits blocks into even and odd halves pass after pass through a copy, the
// transform rebuilds its twiddle table at every stage, every sum and product
// is formed in double and rounded when stored, and the peak search tests
// every bin below m/2 in order. The identity tests hold the production code
// to these bits; refdriver runs a whole program of them.
#pragma once
#include <cstdint>
#include <cstdio>

#include "run/runstate.h"

struct refrun {
  cplx* samples;  // at least m entries
  cplx* scratch;  // at least m entries: the reorder copies the whole window
  uint32_t m, nstages;
  double twopi, df, tmid, segpeak;
  double pkmag = 0, pkfreq = 0;
  FILE* con = nullptr;                                   // the console
  FILE* outs[4] = {nullptr, nullptr, nullptr, nullptr};  // slots 1..3, null: not written
};

void refclear(cplx* buf, uint32_t n);  // re and im of all n entries to 0
void refbitrev(refrun& r);
void refctfourier(refrun& r);  // ends with refpickpeak
void refpickpeak(refrun& r);

// The whole program with the steps above and whole-buffer clears in its
// segment loop; dialogue, statistics, window choice and segment reading are
// the production operations on rs.
[[noreturn]] void refdriver();
