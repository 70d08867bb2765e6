#include <cstring>

#include "dialogue/dialogue.h"
#include "input/input.h"
#include "run/runstate.h"
#include "spectrum/spectrum.h"

// Only entries 0..m-1 of either buffer are ever used, and readsegment writes
// each of them (re and im) before anything reads it, so the clears of the
// whole buffers come down to the window; entries from m upward stay 0.
static void clearwindow(cplx* buf) {
  std::memset(buf, 0, sizeof(cplx) * rs.m);
}

void driver() {
  rs.twopi = rs.pi + rs.pi;
  opendialog();
  readstats();
  pickwindow();
  for (int seg = 0; seg < 9999; ++seg) {
    clearwindow(rs.samples);
    readsegment();
    bitrev();
    std::fputs("\n call function ctfourier ", stdout);
    ctfourier();
  }
  finish();
}
