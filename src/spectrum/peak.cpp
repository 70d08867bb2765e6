#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

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

// std::to_chars in general form with a precision is printf's %.*g (both
// round the exact binary value to nearest, ties to even), and it is several
// times faster than printf; the width of 9 is blanks in front.
int g95(char* out, double v) {
  char b[32];
  const int n = int(std::to_chars(b, b + sizeof b, v, std::chars_format::general, 5).ptr - b);
  const int pad = n < 9 ? 9 - n : 0;
  std::memset(out, ' ', size_t(pad));
  std::memcpy(out + pad, b, size_t(n));
  return pad + n;
}

// Appends a text of known length.
template <size_t n>
static char* put(char* p, const char (&text)[n]) {
  std::memcpy(p, text, n - 1);
  return p + n - 1;
}

static char* put(char* p, const char* field, int len) {
  std::memcpy(p, field, size_t(len));
  return p + len;
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
  // Each figure is formatted once and each line written whole:
  // " %9.5g Hz \t %9.5g \n" on the console with pkfreq and segpeak, then
  // " %9.5g \t %9.5g \n" (tmid, pkfreq), " %9.5g \t %9.5g \t %9.5g \n"
  // (tmid, pkfreq, segpeak) and " %9.5g \t %9.5g \n" (pkfreq, segpeak).
  char f[16], t[16], a[16];
  const int nf = g95(f, rs.pkfreq), nt = g95(t, rs.tmid), na = g95(a, rs.segpeak);
  char line[96];
  char* p = put(put(put(put(put(line, " "), f, nf), " Hz \t "), a, na), " \n");
  std::fwrite(line, 1, size_t(p - line), stdout);
  if (rs.outs[1]) {
    p = put(put(put(put(put(line, " "), t, nt), " \t "), f, nf), " \n");
    std::fwrite(line, 1, size_t(p - line), rs.outs[1]);
  }
  if (rs.outs[2]) {
    p = put(put(put(put(put(put(put(line, " "), t, nt), " \t "), f, nf), " \t "), a, na), " \n");
    std::fwrite(line, 1, size_t(p - line), rs.outs[2]);
  }
  if (rs.pkfreq > 0 && rs.outs[3]) {
    p = put(put(put(put(put(line, " "), f, nf), " \t "), a, na), " \n");
    std::fwrite(line, 1, size_t(p - line), rs.outs[3]);
  }
}
