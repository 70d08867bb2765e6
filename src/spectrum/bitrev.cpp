#include <cstdint>
#include <cstdio>
#include <utility>

#include "run/runstate.h"
#include "spectrum/spectrum.h"

// Splitting every block into its even and odd halves, pass after pass,
// leaves entry r holding the amplitude whose index is r bit-reversed; the
// same order comes from swapping each pair (r, rev(r)) once, in place.
void bitrev() {
  const uint32_t m = rs.m;
  std::printf("\n nm1= %ld  md2=%ld  ns=%ld ", long(rs.nstages), long(m / 2), long(m));
  cplx* s = rs.samples;
  uint32_t r = 0;  // i with its nstages bits reversed
  for (uint32_t i = 0; i < m; ++i) {
    if (i < r) std::swap(s[i].re, s[r].re);
    s[i].im = 0;
    // Add one to r from the top bit down.
    uint32_t bit = m >> 1;
    while (r & bit) {
      r ^= bit;
      bit >>= 1;
    }
    r |= bit;
  }
}
