#include <cmath>
#include <cstdint>
#include <cstdio>

#include "run/runstate.h"
#include "spectrum/kernels.h"
#include "spectrum/spectrum.h"

// Twiddle k of stage L equals twiddle k*(m/L) of the last stage bit for bit
// (k*twopi/L scales exactly by the power of two m/L), so one table per
// window size, built from the last stage's cosines and sines, serves every
// stage of every segment. It is laid out as kernels.h says, in storage of
// its own: scratch stays free for the driver to clear as it likes.
static float table[2 * (nsamples - 2)];
static uint32_t tablem;    // the window the table was built for
static double tabletwopi;  // and the twopi it was built with

static float* twiddles() {
  return table;
}

static void buildtable() {
  const uint32_t m = rs.m, last = m / 2;
  float* tw = twiddles();
  float* lr = tw + 2 * (last - 2);
  float* li = lr + last;
  for (uint32_t k = 0; k < last; ++k) {
    const double a = (k * rs.twopi) / m;
    lr[slot(k, last)] = float(std::cos(a));
    li[slot(k, last)] = float(-std::sin(a));
  }
  for (uint32_t half = 2; half < last; half *= 2) {
    float* r = tw + 2 * (half - 2);
    float* i = r + half;
    const uint32_t step = last / half;
    for (uint32_t k = 0; k < half; ++k) {
      r[slot(k, half)] = lr[slot(k * step, last)];
      i[slot(k, half)] = li[slot(k * step, last)];
    }
  }
  tablem = m;
  tabletwopi = rs.twopi;
}

void stagesscalar(cplx* s, const float* tw, uint32_t m, uint32_t nstages) {
  for (uint32_t p = 0; p < m; p += 2) {
    const cplx a = s[p], b = s[p + 1];
    s[p] = {a.re + b.re, a.im + b.im};
    s[p + 1] = {a.re - b.re, a.im - b.im};
  }
  for (uint32_t half = 2; half <= m / 2 && nstages > 1; half *= 2) {
    const float* wr = stagetable(tw, half);
    const float* wi = wr + half;
    for (uint32_t q = 0; q < m; q += 2 * half) {
      for (uint32_t k = 0; k < half; ++k) {
        cplx& u = s[q + k];
        cplx& v = s[q + k + half];
        // Each part of the product is formed in double (the products are
        // exact there) and rounded once to float.
        const double wre = wr[slot(k, half)], wim = wi[slot(k, half)];
        const float tr = float(double(v.re) * wre - double(v.im) * wim);
        const float ti = float(double(v.re) * wim + double(v.im) * wre);
        // A float sum rounds as the exact sum, formed in double, would.
        const float ur = u.re, ui = u.im;
        u = {ur + tr, ui + ti};
        v = {ur - tr, ui - ti};
      }
    }
  }
}

// Set before main runs; the processor's features are looked up first, as
// nothing guarantees that the library has done so by then.
static bool simd = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));

bool simdon() {
  return simd;
}

bool usesimd(bool want) {
  simd = want && __builtin_cpu_supports("avx2");
  return simd;
}

// The header line and the stage lines are the same for every segment of a
// run: they are formatted once, when the window is first seen.
static char lines[64 + 18 * 32];
static int linelen;
static uint32_t linesm;

static void buildlines() {
  const uint32_t m = rs.m, nst = rs.nstages;
  int n = std::snprintf(lines, sizeof lines, "\n m= %ld  nstages= %ld \n\n", long(m), long(nst));
  for (uint32_t st = 2; st <= nst; ++st)
    n += std::snprintf(lines + n, sizeof lines - n, "\n i=%ld / %ld ", long(st), long(nst));
  linelen = n;
  linesm = m;
}

void ctfourier() {
  const uint32_t m = rs.m, nst = rs.nstages;
  if (linesm != m) buildlines();
  std::fwrite(lines, 1, size_t(linelen), stdout);
  rs.pkmag = 0;
  if (nst > 1 && (tablem != m || tabletwopi != rs.twopi)) buildtable();
  if (simd)
    stagesavx2(rs.samples, twiddles(), m, nst);
  else
    stagesscalar(rs.samples, twiddles(), m, nst);
  pickpeak();
}
