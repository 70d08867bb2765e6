#include <cstdint>
#include <cstdio>

#include "run/runstate.h"
#include "spectrum/spectrum.h"

// Reverses the low n bits of x (n <= 9), by a table of the 512 reversals
// of 9 bits.
static uint32_t rev9[512];
static const bool rev9set = [] {
  for (uint32_t x = 0; x < 512; ++x) {
    uint32_t r = 0;
    for (int b = 0; b < 9; ++b) r |= ((x >> b) & 1) << (8 - b);
    rev9[x] = r;
  }
  return true;
}();

static uint32_t rev(uint32_t x, uint32_t n) {
  return rev9[x] >> (9 - n);
}

// Splitting every block into its even and odd halves, pass after pass,
// leaves entry r holding the amplitude whose index is r bit-reversed; the
// same order comes from swapping each pair (r, rev(r)) once, in place.
// With the index as hi:lo (lo the low nlo bits), rev(hi:lo) = rev(lo):rev(hi).
void bitrev() {
  const uint32_t m = rs.m, nst = rs.nstages;
  std::printf("\n nm1= %ld  md2=%ld  ns=%ld ", long(nst), long(m / 2), long(m));
  cplx* s = rs.samples;
  const uint32_t nlo = nst / 2, nhi = nst - nlo;
  for (uint32_t hi = 0; hi < (uint32_t(1) << nhi); ++hi) {
    const uint32_t rhi = rev(hi, nhi);
    const uint32_t base = hi << nlo;
    for (uint32_t lo = 0; lo < (uint32_t(1) << nlo); ++lo) {
      const uint32_t i = base + lo, r = (rev(lo, nlo) << nhi) | rhi;
      // Both ways without a branch: the pair is swapped when i < r, and
      // written back unchanged when i > r (it was swapped from r then).
      const float a = s[i].re, b = s[r].re;
      const bool sw = i < r;
      s[i].re = sw ? b : a;
      s[r].re = sw ? a : b;
      s[i].im = 0;
    }
  }
}
