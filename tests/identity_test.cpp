// The production reorder, transform and peak search against the reference
// steps of reference.h: the same bits in every entry of the window, the same
// pkmag and pkfreq, the same console text and records, for every window size
// and for the scalar and the AVX2 butterflies. A second group runs the real
// program and the reference program (sonoref) on the same histories and
// compares every console and file byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "harness.h"
#include "reference.h"
#include "run/runstate.h"
#include "spectrum/kernels.h"
#include "spectrum/spectrum.h"

namespace {

// The reference's own buffers; the production works on rs.
cplx refsamples[nsamples];
cplx refscratch[nscratch];

uint64_t rngstate;
uint64_t rnd() {  // splitmix64
  uint64_t z = (rngstate += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}
double uni() {  // [-1, 1)
  return double(rnd() >> 11) * 0x1p-52 - 1.0;
}

float nanwith(uint32_t payload) {
  uint32_t b = 0x7FC00000u | (payload & 0x3FFFFF);
  float f;
  std::memcpy(&f, &b, sizeof f);
  return f;
}

enum kind {
  uniform,      // uniform in [-1, 1)
  wide,         // random signs and binary exponents from 2^-40 to 2^40
  onbin,        // a cosine exactly on bin m/8
  between,      // a sine between two bins, with a little noise
  impulse,      // 1 at the start
  lateimpulse,  // -2.5 at a third of the window
  nyquist,      // 1, -1, 1, -1, ...: no bin below m/2 wins
  constant,     // all 0.75: no bin above 0 wins
  infinities,   // random, with +inf and -inf here and there
  huge,         // near FLT_MAX, so sums overflow and inf - inf makes NaN
  tiny,         // near FLT_MIN: scaling by 1/m rounds into subnormals
  nans,         // random, with not-a-numbers here and there
                // (all of one payload: where two different ones meet, which
                // comes out is the first operand's, and a compiler may swap
                // the operands of a sum; a not-a-number never reaches the
                // output, since it never wins the peak search)
  nkinds
};

const char* const kindname[nkinds] = {"uniform",    "wide",        "onbin",   "between",
                                      "impulse",    "lateimpulse", "nyquist", "constant",
                                      "infinities", "huge",        "tiny",    "nans"};

void fill(kind k, uint32_t m, float* x) {
  rngstate = 0x1234567u + k * 1000003u + m;
  const double twopi = 2 * std::acos(-1.0);
  for (uint32_t j = 0; j < m; ++j) {
    switch (k) {
      case uniform:
        x[j] = float(uni());
        break;
      case wide:
        x[j] = float(std::ldexp(uni(), int(rnd() % 81) - 40));
        break;
      case onbin:
        x[j] = float(std::cos(twopi * (m / 8 ? m / 8 : 1) * j / m));
        break;
      case between:
        x[j] = float(3 * std::sin(twopi * (m / 5 + 0.37) * j / m) + 0.01 * uni());
        break;
      case impulse:
        x[j] = j == 0 ? 1.0f : 0.0f;
        break;
      case lateimpulse:
        x[j] = j == m / 3 ? -2.5f : 0.0f;
        break;
      case nyquist:
        x[j] = j % 2 ? -1.0f : 1.0f;
        break;
      case constant:
        x[j] = 0.75f;
        break;
      case infinities:
        x[j] = rnd() % 97 == 0 ? (rnd() % 2 ? INFINITY : -INFINITY) : float(uni());
        break;
      case huge:
        x[j] = float(FLT_MAX * (0.5 + 0.5 * std::fabs(uni())) * (rnd() % 2 ? 1 : -1));
        break;
      case tiny:
        x[j] = float(FLT_MIN * 4 * uni());
        break;
      case nans:
        x[j] = rnd() % 53 == 0 ? nanwith(0x2A) : float(uni());
        break;
      default:
        break;
    }
  }
  if (k == nans || k == infinities) x[m / 2] = k == nans ? nanwith(0x2A) : INFINITY;
}

// Standard output of the production code, caught in a file while it runs.
class capture {
 public:
  capture() {
    std::fflush(stdout);
    saved_ = dup(1);
    file_ = std::tmpfile();
    dup2(fileno(file_), 1);
  }
  std::string done() {
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    std::string s;
    std::rewind(file_);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) s.append(buf, n);
    std::fclose(file_);
    return s;
  }

 private:
  int saved_;
  FILE* file_;
};

// Three record files in memory.
struct records {
  char* text[4] = {};
  size_t len[4] = {};
  FILE* f[4] = {};
  records() {
    for (int k = 1; k <= 3; ++k) f[k] = open_memstream(&text[k], &len[k]);
  }
  ~records() {
    for (int k = 1; k <= 3; ++k) {
      std::fclose(f[k]);
      std::free(text[k]);
    }
  }
  std::string get(int k) {
    std::fflush(f[k]);
    return std::string(text[k], len[k]);
  }
};

std::string memtext(char* p, size_t n) {
  return std::string(p, n);
}

// Bits of the first n entries differ: the first such index, or -1.
long firstdiff(const cplx* a, const cplx* b, uint32_t n) {
  if (std::memcmp(a, b, n * sizeof(cplx)) == 0) return -1;
  for (uint32_t k = 0; k < n; ++k)
    if (std::memcmp(&a[k], &b[k], sizeof(cplx)) != 0) return long(k);
  return -1;
}

std::string bitsof(cplx c) {
  uint32_t r, i;
  std::memcpy(&r, &c.re, 4);
  std::memcpy(&i, &c.im, 4);
  char buf[80];
  std::snprintf(buf, sizeof buf, "(%g, %g) bits %08x %08x", c.re, c.im, r, i);
  return buf;
}

bool samebits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// One segment of kind k through the reference and through the production
// operations with the given butterflies; expects the same bits everywhere.
void compare(kind k, uint32_t nst, bool simd, double df) {
  const uint32_t m = uint32_t(1) << nst;
  std::vector<float> x(m);
  fill(k, m, x.data());
  const double tmid = 0.5115 * nst, segpeak = 1.25 + nst;

  // Production: the window in rs, im left with junk that the reorder must
  // clear, entries past the window marked to see that they stay untouched,
  // scratch full of junk that must not matter.
  for (uint32_t j = 0; j < m; ++j) rs.samples[j] = {x[j], -7.5f};
  for (uint32_t j = 0; j < m; ++j) rs.scratch[j] = {nanwith(7), -1e30f};
  const uint32_t tail = std::min<uint32_t>(16, nsamples - m);
  for (uint32_t j = m; j < m + tail; ++j) rs.samples[j] = {3.0f, 4.0f};
  rs.m = m;
  rs.nstages = nst;
  rs.twopi = rs.pi + rs.pi;
  rs.df = df;
  rs.tmid = tmid;
  rs.segpeak = segpeak;
  rs.pkmag = 123;
  rs.pkfreq = 456;
  records prodrec;
  for (int j = 1; j <= 3; ++j) rs.outs[j] = prodrec.f[j];

  refclear(refsamples, nsamples);
  refclear(refscratch, nscratch);
  for (uint32_t j = 0; j < m; ++j) refsamples[j] = {x[j], -7.5f};
  refrun r{refsamples, refscratch, m, nst, rs.pi + rs.pi, df, tmid, segpeak};
  r.pkfreq = 456;
  char* refcon = nullptr;
  size_t refconlen = 0;
  r.con = open_memstream(&refcon, &refconlen);
  records refrec;
  for (int j = 1; j <= 3; ++j) r.outs[j] = refrec.f[j];

  ASSERT_EQ(usesimd(simd), simd);
  const std::string what = std::string(kindname[k]) + " m=" + std::to_string(m) +
                           (simd ? " avx2" : " scalar") + " df=" + std::to_string(df);

  capture c1;
  bitrev();
  const std::string prodreorder = c1.done();
  refbitrev(r);
  std::fflush(r.con);
  EXPECT_EQ(prodreorder, memtext(refcon, refconlen)) << what;
  long d = firstdiff(rs.samples, refsamples, m);
  EXPECT_EQ(d, -1) << what << ": reorder differs at " << d;

  const size_t mark = refconlen;
  capture c2;
  ctfourier();
  const std::string prodrest = c2.done();
  refctfourier(r);
  std::fflush(r.con);
  EXPECT_EQ(prodrest, memtext(refcon + mark, refconlen - mark)) << what;
  d = firstdiff(rs.samples, refsamples, m);
  if (d >= 0)
    ADD_FAILURE() << what << ": spectrum differs at " << d << ": " << bitsof(rs.samples[d])
                  << " against " << bitsof(refsamples[d]);
  EXPECT_TRUE(samebits(rs.pkmag, r.pkmag)) << what << ": pkmag " << rs.pkmag << " " << r.pkmag;
  EXPECT_TRUE(samebits(rs.pkfreq, r.pkfreq)) << what << ": pkfreq " << rs.pkfreq << " " << r.pkfreq;
  for (int j = 1; j <= 3; ++j) EXPECT_EQ(prodrec.get(j), refrec.get(j)) << what << " file " << j;
  for (uint32_t j = m; j < m + tail; ++j)
    EXPECT_TRUE(rs.samples[j].re == 3.0f && rs.samples[j].im == 4.0f)
        << what << ": entry " << j << " past the window changed";

  std::fclose(r.con);
  std::free(refcon);
  for (int j = 1; j <= 3; ++j) rs.outs[j] = nullptr;
}

class identity : public ::testing::TestWithParam<int> {};

// Every window size, both butterflies; df finite, and infinite as a history
// whose times are all equal gives it.
TEST_P(identity, everywindow) {
  const kind k = kind(GetParam());
  const bool avx2 = usesimd(true);
  for (uint32_t nst = 1; nst <= 18; ++nst) {
    const double df = 1 / ((uint32_t(1) << nst) * 1e-4);
    for (bool simd : {false, true}) {
      if (simd && !avx2) continue;
      compare(k, nst, simd, df);
      if (HasFailure()) return;
    }
  }
  for (uint32_t nst : {1u, 3u, 10u}) compare(k, nst, false, INFINITY);
  if (avx2)
    for (uint32_t nst : {3u, 10u}) compare(k, nst, true, INFINITY);
  if (!avx2) GTEST_SKIP() << "no AVX2 on this processor: the scalar butterflies alone were tested";
}

INSTANTIATE_TEST_SUITE_P(kinds, identity, ::testing::Range(0, int(nkinds)),
                         [](const ::testing::TestParamInfo<int>& i) {
                           return std::string(kindname[i.param]);
                         });

// The twiddle table is kept from one segment to the next: a change of
// window, and a change of butterflies, between segments must not leave a
// stale one in use.
TEST(identityorder, windowchanges) {
  const bool avx2 = usesimd(true);
  for (uint32_t nst : {10u, 3u, 10u, 18u, 2u, 12u, 12u, 1u, 12u}) {
    compare(between, nst, false, 10.0);
    if (avx2) compare(uniform, nst, true, 10.0);
  }
  usesimd(true);
}

// The reorder alone, on the orders the design gives for 8 and 16.
TEST(identityorder, reorderorders) {
  for (uint32_t nst : {3u, 4u}) {
    const uint32_t m = uint32_t(1) << nst;
    rs.m = m;
    rs.nstages = nst;
    for (uint32_t j = 0; j < m; ++j) rs.samples[j] = {float(j), 9.0f};
    capture c;
    bitrev();
    c.done();
    const std::vector<int> want8 = {0, 4, 2, 6, 1, 5, 3, 7};
    const std::vector<int> want16 = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    const std::vector<int>& want = nst == 3 ? want8 : want16;
    for (uint32_t j = 0; j < m; ++j) {
      EXPECT_EQ(rs.samples[j].re, float(want[j])) << "m=" << m << " entry " << j;
      EXPECT_EQ(rs.samples[j].im, 0.0f);
    }
  }
}

// The records' and the result line's fields are formatted by g95, which
// must write what printf's "%9.5g" writes: for random bit patterns (every
// exponent, subnormals, infinities, not-a-numbers), for values with few
// digits (where ties at the fifth digit happen) and for the borders where
// the form switches between fixed and exponent or gains a digit.
TEST(identityformat, g95asprintf) {
  rngstate = 99;
  std::vector<double> vals = {0.0,     -0.0,    INFINITY,   -INFINITY,   NAN,     -NAN,
                              5e-324,  1e-320,  DBL_MAX,    DBL_MIN,     0.5115,  97.65625,
                              1234.25, 1234.35, 12345.5,    12346.5,     99999.5, 999995,
                              9999.95, 1e-4,    9.99995e-5, 0.000099999, 1e5,     123456};
  for (int j = 0; j < 400000; ++j) {
    uint64_t u = rnd();
    double v;
    std::memcpy(&v, &u, sizeof v);
    vals.push_back(v);
    vals.push_back(std::ldexp(double(rnd() % 4000000), int(rnd() % 80) - 50));
    vals.push_back(-double(rnd() % 100000000) / 1000);
  }
  for (double v : vals) {
    char want[64], got[64];
    std::snprintf(want, sizeof want, "%9.5g", v);
    const int n = g95(got, v);
    ASSERT_EQ(std::string(want), std::string(got, size_t(n))) << "bits of " << v;
  }
}

// The whole program against the reference program: console, the three
// files and the exit status, byte for byte.
struct wholecase {
  const char* name;
  const char* gen;   // sonogen arguments, or null for text
  const char* text;  // the history, when gen is null
  std::vector<int> windows;
};

std::string hugehistory() {
  // Amplitudes near and beyond the float range (1e39 reads as infinity in
  // the segments), impulses, zeros.
  std::string s;
  for (int j = 0; j < 4096; ++j) {
    const char* a = j % 97 == 0   ? "3.4e38"
                    : j % 89 == 0 ? "-1e39"
                    : j % 61 == 0 ? "1e39"
                    : j % 7 == 0  ? "0"
                    : j % 5 == 0  ? "-3.3e38"
                                  : "2.5e-3";
    s += std::to_string(j * 0.001) + " " + a + "\n";
  }
  return s;
}

// The reference clears 4 MB per segment: the histories are kept short
// enough for a few hundred segments per window.
const std::vector<wholecase> wholecases = {
    {"sweep",
     "-n 300000 -dt 1e-4 -kind sweep -f 50 -f2 4000 -noise 0.2 -seed 3",
     nullptr,
     {1024, 4096, 65536, 262144}},
    {"sweepshort",
     "-n 301 -dt 1e-4 -kind sweep -f 50 -f2 4000 -noise 0.2 -seed 4",
     nullptr,
     {2, 4, 8}},
    {"sine", "-n 40000 -dt 0.001 -kind sine -f 125 -a 2", nullptr, {256, 32768}},
    {"step", "-n 4000 -dt 0.0005 -kind step -f 100 -f2 333.3 -noise 0.01", nullptr, {32, 512}},
    {"noise", "-n 4000 -dt 1 -kind noise -noise 1e30 -seed 9", nullptr, {64, 2048}},
    {"huge", nullptr, nullptr, {16, 64, 1024}},
    {"impulses",
     nullptr,
     "0 1\n1 0\n2 0\n3 0\n4 0\n5 0\n6 0\n7 0\n8 0\n9 -4\n10 0\n11 0\n"
     "12 0\n13 0\n14 0\n15 0\n16 1\n",
     {2, 4, 8, 16}},
    {"samepoint", nullptr, "5 1\n5 2\n5 -1\n5 0.5\n5 3\n5 3\n5 1\n5 1\n", {2, 4, 8}},
};

class identitywhole : public ::testing::TestWithParam<int> {};

TEST_P(identitywhole, sameasreference) {
  const wholecase& c = wholecases[size_t(GetParam())];
  e2e dir;
  if (c.gen)
    dir.gen("h.txt", c.gen);
  else
    dir.put("h.txt", c.text ? c.text : hugehistory());
  for (int w : c.windows) {
    const std::string in = "h.txt\n" + std::to_string(w) + "\n";
    runresult prod = dir.run(in, 300);
    runresult ref = dir.run(in, 300, SONOREF_BIN);
    const std::string what = std::string(c.name) + " window " + std::to_string(w);
    EXPECT_EQ(prod.status, 1) << what;
    EXPECT_EQ(prod.status, ref.status) << what;
    EXPECT_TRUE(prod.console == ref.console) << what << ": console differs";
    EXPECT_EQ(prod.outputs, ref.outputs) << what;
    EXPECT_NE(prod.console.find("call function ctfourier"), std::string::npos) << what;
  }
}

INSTANTIATE_TEST_SUITE_P(histories, identitywhole, ::testing::Range(0, int(wholecases.size())),
                         [](const ::testing::TestParamInfo<int>& i) {
                           return std::string(wholecases[size_t(i.param)].name);
                         });

}  // namespace
