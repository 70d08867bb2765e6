// The reader's fast lane: numbers of the usual shapes (a sign, up to seven
// integer digits, a point and up to seven more, a short exponent) are read
// eight bytes at a time. Every value must still be the correctly rounded one
// that strtod and strtof give, the end must be where the grammar puts it, no
// byte at or past the end may be looked at, and in the block reader the
// lane must hand over to the general way near the block's end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "input/reader.h"
#include "run/runstate.h"

namespace {

uint64_t rngstate = 0x5EED;
uint64_t rnd() {
  uint64_t z = (rngstate += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

// A number of a shape the lane takes, or one just outside it: nint integer
// digits, a point when point, nfrac digits, an exponent of nexp digits.
std::string number(int nint, bool point, int nfrac, int nexp) {
  std::string s;
  const int sign = int(rnd() % 3);
  if (sign == 1) s += '-';
  if (sign == 2 && rnd() % 4 == 0) s += '+';
  for (int j = 0; j < nint; ++j) s += char('0' + rnd() % 10);
  if (point) s += '.';
  for (int j = 0; j < nfrac; ++j) s += char('0' + rnd() % 10);
  if (nexp > 0) {
    s += rnd() % 2 ? 'e' : 'E';
    const int xs = int(rnd() % 3);
    if (xs) s += xs == 1 ? '-' : '+';
    for (int j = 0; j < nexp; ++j) s += char('0' + rnd() % 10);
  }
  return s;
}

// What the standard conversion makes of the text (no hexadecimal, infinity
// or not-a-number forms occur in it).
template <class T>
T stdconv(const std::string& s, size_t& used);
template <>
double stdconv<double>(const std::string& s, size_t& used) {
  char* e;
  double v = std::strtod(s.c_str(), &e);
  used = size_t(e - s.c_str());
  return v;
}
template <>
float stdconv<float>(const std::string& s, size_t& used) {
  char* e;
  float v = std::strtof(s.c_str(), &e);
  used = size_t(e - s.c_str());
  return v;
}

template <class T>
bool samebits(T a, T b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// The text placed at the very end of a buffer of its own length, so that a
// look at any byte past e is an out-of-bounds read (AddressSanitizer builds
// catch it), with the same text followed by each trailer.
template <class T>
void check(const std::string& num) {
  static const char* const trailers[] = {"",  " ", "\n",  "\r\n", "\t",
                                         "x", ",", "e",   "e+",   "E-",
                                         ".", "-", "..5", "e5x",  "        0.5 1.25"};
  for (const char* tr : trailers) {
    const std::string text = num + tr;
    for (size_t cut = num.size(); cut <= text.size(); ++cut) {
      const std::string part = text.substr(0, cut);
      std::unique_ptr<char[]> buf(new char[part.size()]);
      std::memcpy(buf.get(), part.data(), part.size());
      T v = T(-12345);
      const char* end = scannum(buf.get(), buf.get() + part.size(), v);
      size_t used;
      const T want = stdconv<T>(part, used);
      ASSERT_EQ(size_t(end - buf.get()), used) << "\"" << part << "\"";
      ASSERT_TRUE(samebits(v, want)) << "\"" << part << "\": " << v << " against " << want;
    }
  }
}

// Every count of integer and fraction digits around the lane's limits, with
// and without exponents, many draws of each.
TEST(readerfast, shapesagainststrtod) {
  for (int nint = 0; nint <= 9; ++nint)
    for (int point = 0; point <= 1; ++point)
      for (int nfrac = 0; nfrac <= (point ? 9 : 0); ++nfrac) {
        if (nint + nfrac == 0) continue;
        for (int nexp = 0; nexp <= 5; ++nexp)
          for (int draw = 0; draw < 12; ++draw) {
            const std::string s = number(nint, point, nfrac, nexp);
            check<double>(s);
            check<float>(s);
            if (HasFatalFailure()) return;
          }
      }
}

// Values the lane must get exactly right or leave to the general way.
TEST(readerfast, hardcases) {
  const char* const cases[] = {
      "0", "-0", "-0.0", "0.000000", "5.", "-5.", "0.0136944", "-0.0319226", "999.999900",
      "1234567.1234567", "9999999.9999999", "12345678.5", "1.12345678", "1e22", "1e23", "1e-22",
      "1e-23", "9999999.9999999e22", "1.5e-0005", "1.5e+00022", "4.9e-324",
      "2.4703282292062327e-324", "1e308", "1.8e308", "-1e309", "3.4028235e38", "3.4028236e38",
      "3.40282357e38", "1e39", "1.17549435e-38", "1e-45", "7e-46", "1e-50",
      // 2^24 + 1 and its neighbours: exactly a midpoint between two floats,
      // which the double cannot decide alone.
      "1677721.7e1", "1677721.7000001e1", "1677721.6999999e1", "0.16777217e8", "16777217",
      // Not midpoints, but within half a double's unit of one: the double
      // lands on the midpoint and a second rounding would go the wrong way.
      "4173385.2121979e-9", "1759406.4027071e-7", "3450269.1050875e-11", "9232650.6440088e-15",
      "1472541.1683321e-7", "6709247.2022523e-13", "2913132.5391063e-11", "1912533.9895254e-10",
      // Exponents too long for the lane, some beyond any integer type.
      "1.5e99999999999999999999999", "-2e-0000000000000000000001", "7.25E+00012",
      "3e-99999999999999999999",
      // 2^53 + 1 and 2^53 as mantissas.
      "9007199.254740993e9", "9007199.254740992e9", "0.9007199254740993",
      // Ties in double between two doubles.
      "9007199254740993", "9007199254740995", "1.00000005960464477539062", "0.1", "0.2", "0.3",
      "-0.000001", "100", "-7e-05", "6.02214076e23"};
  for (const char* c : cases) {
    check<double>(c);
    check<float>(c);
    if (HasFatalFailure()) return;
  }
}

// Random decimal strings of the lane's shapes whose float value lies within
// a hair of a midpoint: the only place a float could go wrong through a
// double.
TEST(readerfast, nearfloatmidpoints) {
  for (int j = 0; j < 20000; ++j) {
    const float lo = float(std::ldexp(double(1 + rnd() % 0xFFFFFF), int(rnd() % 40) - 20));
    const double mid = (double(lo) + double(std::nextafter(lo, INFINITY))) / 2;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", int(8 + rnd() % 7), mid);
    check<float>(buf);
    if (HasFatalFailure()) return;
  }
}

// The block reader over a small block: a history whose numbers fall at
// every offset of the block's end, read with rdnum as the two passes read
// it, times as doubles and amplitudes as doubles or floats.
TEST(readerfast, blockends) {
  std::vector<std::string> toks;
  for (int j = 0; j < 300; ++j) {
    const int nint = 1 + int(rnd() % 7), nfrac = int(rnd() % 8);
    toks.push_back(number(nint, rnd() % 8 != 0, nfrac, rnd() % 6 == 0 ? 1 + int(rnd() % 3) : 0));
  }
  toks.push_back("1234567891234.5");  // a long one in between
  toks.push_back("0.5");
  char path[] = "/tmp/sonotrace-readerfast-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  // With a block of a few hundred bytes, every offset of its end; with the
  // full block, the lane deep inside it.
  for (size_t lead = 0; lead <= std::min<size_t>(rdbufsize + 1, 300); ++lead) {
    std::string text(lead, ' ');
    for (size_t j = 0; j < toks.size(); ++j) text += toks[j] + (j % 3 ? " " : "\r\n");
    FILE* f = std::fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    rs.infile = std::fopen(path, "rb");
    ASSERT_NE(rs.infile, nullptr);
    for (int pass = 0; pass < 2; ++pass) {
      rdrewind();
      for (size_t j = 0; j < toks.size(); ++j) {
        size_t used;
        bool ok;
        if (j % 2 == 0 || pass == 0) {
          double v;
          ok = rdnum(v);
          ASSERT_TRUE(ok && samebits(v, stdconv<double>(toks[j], used)))
              << "lead " << lead << " token " << j << " \"" << toks[j] << "\"";
        } else {
          float v;
          ok = rdnum(v);
          ASSERT_TRUE(ok && samebits(v, stdconv<float>(toks[j], used)))
              << "lead " << lead << " token " << j << " \"" << toks[j] << "\"";
        }
      }
      double v;
      ASSERT_FALSE(rdnum(v)) << "lead " << lead;
    }
    std::fclose(rs.infile);
    rs.infile = nullptr;
  }
  std::remove(path);
}

}  // namespace
