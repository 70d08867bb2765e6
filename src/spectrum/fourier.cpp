#include <cmath>
#include <cstdint>
#include <cstdio>

#include "run/runstate.h"
#include "spectrum/spectrum.h"

// Twiddle k of stage L equals twiddle k*(m/L) of the last stage bit for bit
// (k*twopi/L scales exactly by the power of two m/L), so one table of m/2
// entries serves every stage of a segment. It is built anew for every
// segment: scratch is working storage that the driver clears in between.
static void buildtable() {
  const uint32_t m = rs.m;
  for (uint32_t k = 0; k < m / 2; ++k) {
    double a = (k * rs.twopi) / m;
    rs.scratch[k].re = float(std::cos(a));
    rs.scratch[k].im = float(-std::sin(a));
  }
}

void ctfourier() {
  const uint32_t m = rs.m, nst = rs.nstages;
  std::printf("\n m= %ld  nstages= %ld \n\n", long(m), long(nst));
  rs.pkmag = 0;
  cplx* s = rs.samples;
  for (uint32_t p = 0; p < m; p += 2) {
    cplx a = s[p], b = s[p + 1];
    s[p] = {a.re + b.re, a.im + b.im};
    s[p + 1] = {a.re - b.re, a.im - b.im};
  }
  if (nst > 1) buildtable();
  const cplx* w = rs.scratch;
  for (uint32_t st = 2; st <= nst; ++st) {
    std::printf("\n i=%ld / %ld ", long(st), long(nst));
    const uint32_t len = uint32_t(1) << st, half = len / 2, stride = m / len;
    for (uint32_t q = 0; q < m; q += len) {
      for (uint32_t k = 0; k < half; ++k) {
        const cplx tw = w[k * stride];
        cplx& u = s[q + k];
        cplx& v = s[q + k + half];
        // Each part of the product is formed in double, rounded once.
        float tr = float(double(v.re) * tw.re - double(v.im) * tw.im);
        float ti = float(double(v.re) * tw.im + double(v.im) * tw.re);
        // float + float rounds as the double sum rounded to float would.
        const float ur = u.re, ui = u.im;
        u = {ur + tr, ui + ti};
        v = {ur - tr, ui - ti};
      }
    }
  }
  pickpeak();
}
