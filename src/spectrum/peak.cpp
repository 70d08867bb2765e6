#include <cmath>
#include <cstdint>
#include <cstdio>

#include "run/runstate.h"
#include "spectrum/spectrum.h"

void pickpeak() {
  const uint32_t m = rs.m;
  const float mf = float(m);
  cplx* s = rs.samples;
  for (uint32_t k = 0; k < m; ++k) {
    s[k].re /= mf;
    s[k].im /= mf;
  }
  // A segment without a winning bin reports 0, not an earlier segment's peak.
  rs.pkfreq = 0;
  for (uint32_t k = 0; k < m / 2; ++k) {
    const double f = k * rs.df;
    const double re = s[k].re, im = s[k].im;
    const double a = std::sqrt(re * re + im * im);
    const double cand = k == 0 ? a : 2 * a;
    if (cand > rs.pkmag && f > 0) {
      rs.pkmag = cand;
      rs.pkfreq = f;
    }
  }
  std::printf(" %9.5g Hz \t %9.5g \n", rs.pkfreq, rs.segpeak);
  if (rs.outs[1]) std::fprintf(rs.outs[1], " %9.5g \t %9.5g \n", rs.tmid, rs.pkfreq);
  if (rs.outs[2])
    std::fprintf(rs.outs[2], " %9.5g \t %9.5g \t %9.5g \n", rs.tmid, rs.pkfreq, rs.segpeak);
  if (rs.pkfreq > 0 && rs.outs[3])
    std::fprintf(rs.outs[3], " %9.5g \t %9.5g \n", rs.pkfreq, rs.segpeak);
}
