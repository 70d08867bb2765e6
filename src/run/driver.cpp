#include <csignal>
#include <cstdio>
#include <cstring>

#include "dialogue/dialogue.h"
#include "input/input.h"
#include "run/runstate.h"
#include "spectrum/spectrum.h"

// Only entries 0..m-1 of either buffer are ever used, so the clears of the
// whole buffers come down to the window; entries from m upward stay 0.
// scratch is cleared again after the reorder: nothing may carry over in it
// from the reorder or from an earlier segment into the transform.
static void clearwindow(cplx* buf) {
  std::memset(buf, 0, sizeof(cplx) * rs.m);
}

// The console is written in large blocks; it is flushed before every read
// and key wait, and at exit.
static char conbuf[1 << 16];

void driver() {
  rs.twopi = rs.pi + rs.pi;
  // A console reader that has gone away must not end the run early.
  std::signal(SIGPIPE, SIG_IGN);
  std::setvbuf(stdout, conbuf, _IOFBF, sizeof conbuf);
  opendialog();
  // No stream allocates a buffer of its own once the run is under way: the
  // reader reads the input in blocks of its own, the records go through
  // static buffers.
  std::setvbuf(rs.infile, nullptr, _IONBF, 0);
  static char outbuf[4][1 << 13];
  for (int k = 1; k <= 3; ++k)
    if (rs.outs[k]) std::setvbuf(rs.outs[k], outbuf[k], _IOFBF, sizeof outbuf[k]);
  readstats();
  pickwindow();
  for (int seg = 0; seg < 9999; ++seg) {
    clearwindow(rs.samples);
    clearwindow(rs.scratch);
    readsegment();
    bitrev();
    clearwindow(rs.scratch);
    std::fputs("\n call function ctfourier ", stdout);
    ctfourier();
  }
  finish();
}
