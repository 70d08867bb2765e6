// The reorder, the transform and the peak search, called directly on the
// run state; their console lines and records are captured.
#include "spectrum/spectrum.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "run/runstate.h"

namespace {

std::string slurp(FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  char buf[4096];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, got);
  return s;
}

// Runs f with standard output sent to a file; returns what it printed.
template <class F>
std::string console(F f) {
  std::fflush(stdout);
  FILE* tmp = std::tmpfile();
  int saved = dup(1);
  dup2(fileno(tmp), 1);
  f();
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  std::string s = slurp(tmp);
  std::fclose(tmp);
  return s;
}

// The three output files, as temporary files for as long as it lives.
struct records {
  records() {
    for (int k = 1; k <= 3; ++k) rs.outs[k] = std::tmpfile();
  }
  ~records() {
    for (int k = 1; k <= 3; ++k) {
      std::fclose(rs.outs[k]);
      rs.outs[k] = nullptr;
    }
  }
  std::string get(int k) const { return slurp(rs.outs[k]); }
};

// A fresh run state for a window of m, as the window choice leaves it.
void window(uint32_t m, double df = 1) {
  std::memset(rs.samples, 0, sizeof rs.samples);
  std::memset(rs.scratch, 0, sizeof rs.scratch);
  rs.m = m;
  rs.nstages = 0;
  while ((uint32_t(1) << rs.nstages) < m) ++rs.nstages;
  rs.twopi = 2 * std::atan2(0.0, -1.0);
  rs.df = df;
  rs.tmid = 0.5;
  rs.segpeak = 1;
  rs.pkmag = 0;
  rs.pkfreq = 0;
}

void put(const std::vector<float>& x) {
  for (size_t j = 0; j < x.size(); ++j) rs.samples[j] = {x[j], 0};
}

// One segment's analysis as the driver runs it; returns its console text.
std::string analyse() {
  return console([] {
    bitrev();
    ctfourier();
  });
}

std::vector<float> cosine(uint32_t m, uint32_t bin) {
  std::vector<float> x(m);
  for (uint32_t j = 0; j < m; ++j) x[j] = float(std::cos(2 * M_PI * bin * j / m));
  return x;
}

// Reorder

struct ordercase {
  uint32_t m;
  std::vector<uint32_t> order;  // index whose amplitude lands at each entry
  const char* line;
};

TEST(Reorder, BitReversedOrderAndImaginaryPartsCleared) {
  const ordercase cases[] = {
      {2, {0, 1}, "\n nm1= 1  md2=1  ns=2 "},
      {8, {0, 4, 2, 6, 1, 5, 3, 7}, "\n nm1= 3  md2=4  ns=8 "},
      {16, {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15}, "\n nm1= 4  md2=8  ns=16 "},
  };
  for (const ordercase& c : cases) {
    SCOPED_TRACE(c.m);
    window(c.m);
    for (uint32_t k = 0; k < c.m; ++k) rs.samples[k] = {10.0f + k, -1.0f - k};
    EXPECT_EQ(console(bitrev), c.line);
    for (uint32_t r = 0; r < c.m; ++r) {
      EXPECT_EQ(rs.samples[r].re, 10.0f + c.order[r]) << "entry " << r;
      EXPECT_EQ(rs.samples[r].im, 0.0f) << "entry " << r;
    }
    EXPECT_EQ(rs.samples[c.m].re, 0.0f) << "entries beyond the window stay 0";
    EXPECT_EQ(rs.samples[c.m].im, 0.0f);
  }
}

// Transform: small cases with known results (the peak search has divided
// them by m).

struct smallcase {
  const char* name;
  std::vector<float> x;
  std::vector<cplx> want;
  float tol;
};

TEST(Transform, SmallCases) {
  const smallcase cases[] = {
      {"m=2: (a+b, a-b)", {3, -1.5}, {{0.75f, 0}, {2.25f, 0}}, 0},
      {"m=4 impulse", {1, 0, 0, 0}, {{0.25f, 0}, {0.25f, 0}, {0.25f, 0}, {0.25f, 0}}, 0},
      {"m=4 ones", {1, 1, 1, 1}, {{1, 0}, {0, 0}, {0, 0}, {0, 0}}, 0},
      {"m=8 cosine of bin 1",
       cosine(8, 1),
       {{0, 0}, {0.5f, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0.5f, 0}},
       4 * FLT_EPSILON},
  };
  for (const smallcase& c : cases) {
    SCOPED_TRACE(c.name);
    window(uint32_t(c.x.size()));
    put(c.x);
    analyse();
    for (size_t k = 0; k < c.want.size(); ++k) {
      EXPECT_NEAR(rs.samples[k].re, c.want[k].re, c.tol) << "bin " << k;
      EXPECT_NEAR(rs.samples[k].im, c.want[k].im, c.tol) << "bin " << k;
    }
  }
}

// The twiddle table lives in scratch, which the driver clears before and
// after the reorder of every segment: a segment must come out the same
// whatever an earlier one left there.
TEST(Transform, DoesNotDependOnWhatScratchHeld) {
  for (uint32_t m : {8u, 1024u}) {
    SCOPED_TRACE(m);
    std::vector<float> x(m);
    std::mt19937 gen(m);
    std::uniform_real_distribution<float> u(-1, 1);
    for (float& v : x) v = u(gen);
    window(m);
    put(x);
    std::string first = analyse();
    std::vector<cplx> want(rs.samples, rs.samples + m);
    for (float fill : {0.0f, 7.0f}) {
      for (uint32_t k = 0; k < nscratch; ++k) rs.scratch[k] = {fill, fill};
      std::memset(rs.samples, 0, sizeof rs.samples);
      put(x);
      rs.pkmag = 0;
      EXPECT_EQ(analyse(), first) << "scratch filled with " << fill;
      for (uint32_t k = 0; k < m; ++k) {
        ASSERT_EQ(rs.samples[k].re, want[k].re) << "bin " << k << ", scratch " << fill;
        ASSERT_EQ(rs.samples[k].im, want[k].im) << "bin " << k << ", scratch " << fill;
      }
    }
  }
}

// Agreement with the sum evaluated directly in long double, for random
// amplitudes in [-1, 1). Above 4096 a sample of bins is checked. The error
// is measured in units of float epsilon times the largest entry checked.
TEST(Transform, AgreesWithDirectSum) {
  const long double pi = std::acos(-1.0L);
  double worst = 0;
  uint32_t worstm = 0, worstk = 0;
  for (uint32_t nst = 1; nst <= 18; ++nst) {
    const uint32_t m = uint32_t(1) << nst;
    std::mt19937 gen(nst);
    std::uniform_real_distribution<float> u(-1, 1);
    std::vector<float> x(m);
    for (float& v : x) v = u(gen);
    window(m);
    put(x);
    analyse();

    std::vector<uint32_t> bins;
    if (m <= 4096) {
      for (uint32_t k = 0; k < m; ++k) bins.push_back(k);
    } else {
      bins = {0, 1, m / 2, m - 1};
      std::uniform_int_distribution<uint32_t> pick(0, m - 1);
      for (int i = 0; i < 64; ++i) bins.push_back(pick(gen));
    }
    std::vector<long double> c(m), s(m);
    for (uint32_t j = 0; j < m; ++j) {
      c[j] = std::cos(2 * pi * j / m);
      s[j] = std::sin(2 * pi * j / m);
    }
    std::vector<long double> dre, dim;
    long double largest = 0;
    for (uint32_t k : bins) {
      long double re = 0, im = 0;
      for (uint32_t j = 0; j < m; ++j) {
        uint32_t n = uint32_t((uint64_t(j) * k) % m);
        re += x[j] * c[n];
        im -= x[j] * s[n];
      }
      dre.push_back(re);
      dim.push_back(im);
      largest = std::max(largest, std::hypot(re, im));
    }
    double err = 0;
    uint32_t errk = 0;
    for (size_t i = 0; i < bins.size(); ++i) {
      // The scaling by m, a power of two, is exact.
      long double re = (long double)rs.samples[bins[i]].re * m;
      long double im = (long double)rs.samples[bins[i]].im * m;
      double e = double(std::hypot(re - dre[i], im - dim[i]) / (FLT_EPSILON * largest));
      if (e > err) err = e, errk = bins[i];
    }
    EXPECT_LT(err, 4.0) << "m=" << m << " bin " << errk;
    if (err > worst) worst = err, worstm = m, worstk = errk;
  }
  std::printf("worst error: %.3f float epsilons of the largest entry (m=%u, bin %u)\n", worst,
              worstm, worstk);
  RecordProperty("worst_error_eps", std::to_string(worst));
}

// The results are bytes on the console and in files, so the arithmetic is
// fixed to the bit: this scheme splits blocks into even and odd halves
// through a copy, and gives every stage its own table of cos and -sin of
// k*twopi/L, formed in double and rounded to float; each product part is
// formed in double and rounded to float before it is added.
std::vector<cplx> stagebystage(const std::vector<float>& x) {
  const uint32_t m = uint32_t(x.size());
  std::vector<cplx> a(m);
  std::vector<float> copy(x);
  for (uint32_t j = 0; j < m; ++j) a[j] = {x[j], 0};
  for (uint32_t md2 = m / 2; md2 >= 1; md2 /= 2) {
    for (uint32_t j = 0; j < m; ++j) copy[j] = a[j].re;
    for (uint32_t s = 0; s < m; s += 2 * md2)
      for (uint32_t t = 0; t < md2; ++t) {
        a[s + t] = {copy[s + 2 * t], 0};
        a[s + md2 + t] = {copy[s + 2 * t + 1], 0};
      }
  }
  const double twopi = 2 * std::atan2(0.0, -1.0);
  std::vector<cplx> w(m / 2 + 1);
  for (uint32_t len = 2; len <= m; len *= 2) {
    const uint32_t half = len / 2;
    for (uint32_t k = 0; k < half; ++k)
      w[k] = {float(std::cos(k * twopi / len)), float(-std::sin(k * twopi / len))};
    for (uint32_t q = 0; q < m; q += len)
      for (uint32_t k = 0; k < half; ++k) {
        cplx u = a[q + k], v = a[q + k + half];
        float tr = float(double(v.re) * double(w[k].re) - double(v.im) * double(w[k].im));
        float ti = float(double(v.re) * double(w[k].im) + double(v.im) * double(w[k].re));
        a[q + k] = {float(double(u.re) + tr), float(double(u.im) + ti)};
        a[q + k + half] = {float(double(u.re) - tr), float(double(u.im) - ti)};
      }
  }
  for (cplx& e : a) e = {e.re / float(m), e.im / float(m)};
  return a;
}

TEST(Transform, BitForBitWithTheStageByStageScheme) {
  for (uint32_t nst = 1; nst <= 18; ++nst) {
    const uint32_t m = uint32_t(1) << nst;
    SCOPED_TRACE(m);
    std::mt19937 gen(100 + nst);
    std::uniform_real_distribution<float> u(-1000, 1000);
    std::vector<float> x(m);
    for (float& v : x) v = u(gen);
    window(m);
    put(x);
    analyse();
    std::vector<cplx> want = stagebystage(x);
    for (uint32_t k = 0; k < m; ++k) {
      ASSERT_EQ(rs.samples[k].re, want[k].re) << "bin " << k;
      ASSERT_EQ(rs.samples[k].im, want[k].im) << "bin " << k;
    }
  }
}

TEST(Transform, ConsoleLines) {
  struct linecase {
    uint32_t m;
    const char* want;
  };
  const linecase cases[] = {
      {2,
       "\n nm1= 1  md2=1  ns=2 "
       "\n m= 2  nstages= 1 \n\n"
       "         0 Hz \t         1 \n"},
      {8,
       "\n nm1= 3  md2=4  ns=8 "
       "\n m= 8  nstages= 3 \n\n"
       "\n i=2 / 3 "
       "\n i=3 / 3 "
       "         1 Hz \t         1 \n"},
  };
  for (const linecase& c : cases) {
    SCOPED_TRACE(c.m);
    window(c.m);
    put(cosine(c.m, 1));
    EXPECT_EQ(analyse(), c.want);
  }
}

// Peak search

struct peakcase {
  const char* name;
  uint32_t m;
  double df;
  std::vector<float> x;
  const char* freq;  // the frequency found, as its nine-character field
};

std::vector<float> impulse(uint32_t m) {
  std::vector<float> x(m);
  x[0] = 1;
  return x;
}

// Each case is a first segment (nothing found before it). Tail with
// tmid 0.5 and segpeak 1.
TEST(Peak, WinningBin) {
  const peakcase cases[] = {
      {"cosine of bin 1", 8, 1, cosine(8, 1), "        1"},
      {"cosine of bin 3", 16, 2, cosine(16, 3), "        6"},
      {"impulse: all bins equal, the lowest wins", 16, 0.5, impulse(16), "      0.5"},
      {"m=2: only DC below half the window", 2, 1, {3, 1}, "        0"},
      {"Nyquist only", 8, 1, {1, -1, 1, -1, 1, -1, 1, -1}, "        0"},
      {"constant", 8, 1, {2, 2, 2, 2, 2, 2, 2, 2}, "        0"},
      {"all zero", 8, 1, std::vector<float>(8), "        0"},
  };
  for (const peakcase& c : cases) {
    SCOPED_TRACE(c.name);
    window(c.m, c.df);
    put(c.x);
    records out;
    std::string con = analyse();
    std::string f = c.freq;
    std::string result = " " + f + " Hz \t         1 \n";
    EXPECT_TRUE(con.ends_with(result)) << con;
    EXPECT_EQ(out.get(1), "       0.5 \t " + f + " \n");
    EXPECT_EQ(out.get(2), "       0.5 \t " + f + " \t         1 \n");
    EXPECT_EQ(out.get(3), f == "        0" ? "" : " " + f + " \t         1 \n");
  }
}

// A segment without a winning bin reports 0 even after one that found a
// frequency, and adds nothing to ffta.out.
TEST(Peak, SegmentWithoutWinnerAfterOneWithReportsZero) {
  records out;
  window(8);
  put(cosine(8, 1));
  std::string first = analyse();
  EXPECT_EQ(rs.pkfreq, 1);
  window(8);
  put({1, -1, 1, -1, 1, -1, 1, -1});
  rs.tmid = 1.5;
  rs.segpeak = 1;
  std::string second = analyse();
  EXPECT_EQ(rs.pkfreq, 0);
  EXPECT_TRUE(second.ends_with("         0 Hz \t         1 \n")) << second;
  EXPECT_EQ(out.get(1), "       0.5 \t         1 \n       1.5 \t         0 \n");
  EXPECT_EQ(out.get(2),
            "       0.5 \t         1 \t         1 \n       1.5 \t         0 \t         1 \n");
  EXPECT_EQ(out.get(3), "         1 \t         1 \n");
}

// The records and the result line, with their leading blank, blank-tab-blank
// separators and nine-character fields.
TEST(Peak, RecordLayouts) {
  window(1024, 0.9765625);
  rs.tmid = 0.5115;
  rs.segpeak = 1;
  rs.samples[100] = {512, 0};  // unscaled: single-sided amplitude 1 at 97.65625 Hz
  records out;
  EXPECT_EQ(console(pickpeak), "    97.656 Hz \t         1 \n");
  EXPECT_EQ(rs.pkfreq, 97.65625);
  EXPECT_EQ(rs.pkmag, 1);
  EXPECT_EQ(out.get(1), "    0.5115 \t    97.656 \n");
  EXPECT_EQ(out.get(2), "    0.5115 \t    97.656 \t         1 \n");
  EXPECT_EQ(out.get(3), "    97.656 \t         1 \n");
  EXPECT_EQ(rs.samples[100].re, 0.5f) << "the whole spectrum is divided by m";
}

}  // namespace
