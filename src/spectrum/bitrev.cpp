#include <cstdint>
#include <cstdio>

#include "run/runstate.h"
#include "spectrum/kernels.h"
#include "spectrum/spectrum.h"

// Reversals of 9 bits, for reversing up to 18.
static uint32_t rev9[512];
static const bool rev9set = [] {
  for (uint32_t x = 0; x < 512; ++x) {
    uint32_t r = 0;
    for (int b = 0; b < 9; ++b) r |= ((x >> b) & 1) << (8 - b);
    rev9[x] = r;
  }
  return true;
}();

// x (below 2^n, n <= 18) with its n bits reversed.
static uint32_t rev(uint32_t x, uint32_t n) {
  return ((rev9[x & 511] << 9) | rev9[x >> 9]) >> (18 - n);
}

// Splitting every block into its even and odd halves, pass after pass,
// leaves entry r holding the amplitude whose index is r bit-reversed; the
// same order comes from moving entry i to rev(i). It is done in tiles that
// keep to a few cache lines: with the index as a:b:c (a and c of 3 bits,
// b the nst - 6 bits between), rev(a:b:c) = rev(c):rev(b):rev(a), so the 64
// entries of tile b (8 rows a of 8 entries c, each row contiguous) go to
// tile rev(b), transposed, and those of tile rev(b) come back; a tile that is
// its own reversal is transposed in place. Every entry is written whole,
// which also sets im to 0.
void tilesscalar(cplx* s, uint32_t nst) {
  static const uint8_t r3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  const uint32_t nb = nst - 6, row = uint32_t(1) << (nb + 3);
  for (uint32_t b = 0; b < (uint32_t(1) << nb); ++b) {
    const uint32_t br = rev(b, nb);
    if (br < b) continue;  // done with tile br
    float tb[64], tr[64];
    const cplx* pb = s + 8 * b;
    const cplx* pr = s + 8 * br;
    for (uint32_t a = 0; a < 8; ++a)
      for (uint32_t c = 0; c < 8; ++c) {
        tb[8 * a + c] = pb[a * row + c].re;
        tr[8 * a + c] = pr[a * row + c].re;
      }
    // Entry (x, y) of a tile takes the one from (rev y, rev x) of the other.
    cplx* qb = s + 8 * b;
    cplx* qr = s + 8 * br;
    for (uint32_t x = 0; x < 8; ++x)
      for (uint32_t y = 0; y < 8; ++y) {
        qr[x * row + y] = {tb[8 * r3[y] + r3[x]], 0};
        qb[x * row + y] = {tr[8 * r3[y] + r3[x]], 0};
      }
  }
}

// The reorder's console line is the same for every segment of a run.
static char line[96];
static uint32_t linem;

void bitrev() {
  const uint32_t m = rs.m, nst = rs.nstages;
  if (linem != m) {
    std::snprintf(line, sizeof line, "\n nm1= %ld  md2=%ld  ns=%ld ", long(nst), long(m / 2),
                  long(m));
    linem = m;
  }
  std::fputs(line, stdout);
  cplx* s = rs.samples;
  if (nst < 6) {
    float x[32];
    for (uint32_t i = 0; i < m; ++i) x[i] = s[i].re;
    for (uint32_t i = 0; i < m; ++i) s[i] = {x[rev(i, nst)], 0};
  } else if (simdon()) {
    tilesavx2(s, nst);
  } else {
    tilesscalar(s, nst);
  }
}
