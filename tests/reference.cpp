#include "reference.h"

#include <cmath>
#include <cstring>

#include "dialogue/dialogue.h"
#include "input/input.h"

void refclear(cplx* buf, uint32_t n) {
  std::memset(buf, 0, n * sizeof(cplx));  // all-zero bytes are 0.0f
}

void refbitrev(refrun& r) {
  const uint32_t nm1 = r.nstages;
  uint32_t md2 = r.m / 2;
  // ns shows m.
  std::fprintf(r.con, "\n nm1= %ld  md2=%ld  ns=%ld ", long(nm1), long(md2), long(r.m));
  for (uint32_t p = 1; p <= nm1; ++p) {
    for (uint32_t k = 0; k < r.m; ++k) r.scratch[k].re = r.samples[k].re;
    const uint32_t nblocks = uint32_t(std::pow(2.0, double(p - 1)));
    for (uint32_t b = 0; b < nblocks; ++b) {
      const uint32_t s = b * 2 * md2;
      for (uint32_t t = 0; t < md2; ++t) {
        r.samples[s + t] = {r.scratch[s + 2 * t].re, 0};
        r.samples[s + md2 + t] = {r.scratch[s + 2 * t + 1].re, 0};
      }
    }
    md2 /= 2;
  }
}

// Rounded to float when stored.
static float st(double x) {
  return float(x);
}

void refctfourier(refrun& r) {
  const uint32_t m = r.m, nst = r.nstages;
  std::fprintf(r.con, "\n m= %ld  nstages= %ld \n\n", long(m), long(nst));
  r.pkmag = 0;
  cplx* s = r.samples;
  for (uint32_t p = 0; p < m / 2; ++p) {
    const cplx a = s[2 * p], b = s[2 * p + 1];
    s[2 * p] = {st(double(a.re) + b.re), st(double(a.im) + b.im)};
    s[2 * p + 1] = {st(double(a.re) - b.re), st(double(a.im) - b.im)};
  }
  for (uint32_t stage = 2; stage <= nst; ++stage) {
    std::fprintf(r.con, "\n i=%ld / %ld ", long(stage), long(nst));
    const double len = std::pow(2.0, double(stage));
    const uint32_t half = uint32_t(len) / 2;
    for (uint32_t k = 0; k < half; ++k) {
      const double a = (k * r.twopi) / len;
      r.scratch[k] = {st(std::cos(a)), st(-std::sin(a))};
    }
    for (uint32_t g = 0; g < m / uint32_t(len); ++g) {
      const uint32_t q = g * uint32_t(len);
      const uint32_t off = uint32_t(std::pow(2.0, double(stage - 1)));
      for (uint32_t k = 0; k < half; ++k) {
        const uint32_t lo = q + k, hi = lo + off;
        const cplx w = r.scratch[k], u = s[lo], v = s[hi];
        const float tre = st(double(v.re) * double(w.re) - double(v.im) * double(w.im));
        const float tim = st(double(v.re) * double(w.im) + double(v.im) * double(w.re));
        s[lo] = {st(double(u.re) + tre), st(double(u.im) + tim)};
        s[hi] = {st(double(u.re) - tre), st(double(u.im) - tim)};
      }
    }
  }
  refpickpeak(r);
}

void refpickpeak(refrun& r) {
  const uint32_t m = r.m;
  const float mf = float(m);
  // A segment without a winning bin reports 0 (the program's rule, not an
  // earlier segment's frequency).
  r.pkfreq = 0;
  cplx* s = r.samples;
  for (uint32_t k = 0; k < m; ++k) {
    s[k].re = st(double(s[k].re) / double(mf));
    s[k].im = st(double(s[k].im) / double(mf));
    const double f = k * r.df;
    const double re = s[k].re, im = s[k].im;
    const double a = std::sqrt(re * re + im * im);
    if (k < m / 2) {
      const double cand = k == 0 ? a : 2 * a;
      if (cand > r.pkmag && f > 0) {
        r.pkmag = cand;
        r.pkfreq = f;
      }
    }
  }
  std::fprintf(r.con, " %9.5g Hz \t %9.5g \n", r.pkfreq, r.segpeak);
  if (r.outs[1]) std::fprintf(r.outs[1], " %9.5g \t %9.5g \n", r.tmid, r.pkfreq);
  if (r.outs[2])
    std::fprintf(r.outs[2], " %9.5g \t %9.5g \t %9.5g \n", r.tmid, r.pkfreq, r.segpeak);
  if (r.pkfreq > 0 && r.outs[3]) std::fprintf(r.outs[3], " %9.5g \t %9.5g \n", r.pkfreq, r.segpeak);
}

void refdriver() {
  rs.twopi = rs.pi + rs.pi;
  opendialog();
  readstats();
  pickwindow();
  for (int seg = 0; seg < 9999; ++seg) {
    refclear(rs.samples, nsamples);
    refclear(rs.scratch, nscratch);
    readsegment();
    refrun r{rs.samples, rs.scratch, rs.m, rs.nstages, rs.twopi, rs.df, rs.tmid, rs.segpeak};
    r.con = stdout;
    for (int k = 1; k <= 3; ++k) r.outs[k] = rs.outs[k];
    refbitrev(r);
    refclear(rs.scratch, nscratch);
    std::fputs("\n call function ctfourier ", stdout);
    refctfourier(r);
    rs.pkmag = r.pkmag;
    rs.pkfreq = r.pkfreq;
  }
  finish();
}
