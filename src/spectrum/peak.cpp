#include <cmath>
#include <cstdint>
#include <cstdio>

#include "run/runstate.h"
#include "spectrum/kernels.h"
#include "spectrum/spectrum.h"

uint32_t peakscalar(cplx* s, uint32_t m, double& best) {
  const float inv = 1.0f / float(m);  // exact: m is a power of two
  for (uint32_t k = 0; k < m; ++k) {
    s[k].re *= inv;
    s[k].im *= inv;
  }
  uint32_t win = 0;
  best = 0;
  for (uint32_t k = 1; k < m / 2; ++k) {
    const double re = s[k].re, im = s[k].im;
    const double a = std::sqrt(re * re + im * im);
    if (a > best) {
      best = a;
      win = k;
    }
  }
  return win;
}

// Bin 0 never wins: its frequency 0 * df is 0 or not a number. Every other
// bin's frequency k * df is above 0 exactly when df is, so the winner is the
// first bin of largest amplitude above 0, when df > 0. Doubling the
// amplitude is exact, so the comparison can leave it out.
void pickpeak() {
  const uint32_t m = rs.m;
  double best;
  const uint32_t win = simdon() ? peakavx2(rs.samples, m, best) : peakscalar(rs.samples, m, best);
  // A segment without a winning bin reports 0, not an earlier segment's peak.
  rs.pkfreq = 0;
  if (win && rs.df > 0) {
    rs.pkmag = 2 * best;
    rs.pkfreq = win * rs.df;
  }
  std::printf(" %9.5g Hz \t %9.5g \n", rs.pkfreq, rs.segpeak);
  if (rs.outs[1]) std::fprintf(rs.outs[1], " %9.5g \t %9.5g \n", rs.tmid, rs.pkfreq);
  if (rs.outs[2])
    std::fprintf(rs.outs[2], " %9.5g \t %9.5g \t %9.5g \n", rs.tmid, rs.pkfreq, rs.segpeak);
  if (rs.pkfreq > 0 && rs.outs[3])
    std::fprintf(rs.outs[3], " %9.5g \t %9.5g \n", rs.pkfreq, rs.segpeak);
}
