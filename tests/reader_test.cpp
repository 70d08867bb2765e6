// The number reader against the C library's strtod and strtof: scannum on
// hard cases and random text, and the block reader over a file, with a
// number split by the block boundary at every offset. This file is built
// twice: with the program's block size and with a tiny one.
#include "input/reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "run/runstate.h"

namespace {

uint64_t bits(double v) {
  return std::bit_cast<uint64_t>(v);
}
uint32_t bits(float v) {
  return std::bit_cast<uint32_t>(v);
}

double ref(const std::string& s, double) {
  return std::strtod(s.c_str(), nullptr);
}
float ref(const std::string& s, float) {
  return std::strtof(s.c_str(), nullptr);
}

bool digit(char c) {
  return c >= '0' && c <= '9';
}

// Length of the longest prefix of s that is a number, by the grammar alone:
// sign, digits with an optional point (one digit at least), exponent.
size_t numlen(const std::string& s) {
  size_t i = 0, n = s.size();
  if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
  size_t d = 0;
  while (i < n && digit(s[i])) ++i, ++d;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && digit(s[i])) ++i, ++d;
  }
  if (d == 0) return 0;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < n && digit(s[j])) {
      while (j < n && digit(s[j])) ++j;
      i = j;
    }
  }
  return i;
}

// Scans text as T and checks the end against want (the length of the number
// it starts with, 0 for none) and the value, bit for bit, against the C
// library's conversion of that number.
template <class T>
void check(const std::string& text, size_t want) {
  const char* p = text.data();
  T v = T(12345);
  const char* r = scannum(p, p + text.size(), v);
  ASSERT_EQ(size_t(r - p), want) << "end of " << text.substr(0, 80);
  if (want == 0) return;
  T w = ref(text.substr(0, want), T());
  EXPECT_EQ(bits(v), bits(w)) << text.substr(0, 200) << " read " << v << ", strto* " << w;
}

void checkboth(const std::string& text, size_t want) {
  check<double>(text, want);
  check<float>(text, want);
}

struct row {
  const char* text;
  const char* num = nullptr;  // the number it starts with; null: all of it
};

// Cases whose value or end a fast path could get wrong.
const row rows[] = {
    // plain, signs, points
    {"0"},
    {"-0"},
    {"+0"},
    {"1"},
    {"+1.5"},
    {"-1.5"},
    {".5"},
    {"-.5"},
    {"+.5"},
    {"5."},
    {"-5."},
    {"0.1"},
    {"0.3"},
    {"1234567.125"},
    {"000000000000000000000000000000012.5"},
    {"0.000000000000000000000000000000000000000000000000000000000000001"},
    // exponents
    {"1e5"},
    {"1E5"},
    {"1e+5"},
    {"1e-5"},
    {"-2.5E-3"},
    {".5e1"},
    {"5.e1"},
    {"1e0"},
    {"1e-0"},
    {"1e000000000000000000000000000000002"},
    {"1e22"},
    {"1e23"},
    {"9007199254740993e22"},
    {"123456789e-22"},
    {"123456789e-23"},
    {"1e", "1"},
    {"1e+", "1"},
    {"1e-", "1"},
    {"1E+x", "1"},
    {"1e+-5", "1"},
    {"1ee5", "1"},
    {"2.5e", "2.5"},
    // what is no number, or ends early
    {".", ""},
    {"+", ""},
    {"-", ""},
    {"+-1", ""},
    {"-+1", ""},
    {"-.", ""},
    {".e5", ""},
    {"e5", ""},
    {"", ""},
    {" 1", ""},
    {"inf", ""},
    {"-inf", ""},
    {"INF", ""},
    {"nan", ""},
    {"NaN", ""},
    {"infinity", ""},
    {"-infinity", ""},
    {"0x10", "0"},
    {"0X1p3", "0"},
    {"-0x1.8p1", "-0"},
    {"1,5", "1"},
    {"1.5.3", "1.5"},
    {"7abc", "7"},
    {"1e5e3", "1e5"},
    {"12 34", "12"},
    {"12\t34", "12"},
    {"3.25\r\n", "3.25"},
    // exactness: integers beyond 2^53, halfway between doubles
    {"9007199254740992"},
    {"9007199254740993"},
    {"9007199254740993.0000000000000000000000000001"},
    {"9007199254740994"},
    {"9007199254740995"},
    {"18014398509481985"},
    {"9223372036854775807"},
    {"18446744073709551615"},
    {"18446744073709551616"},
    {"184467440737095516150"},
    {"99999999999999999999"},
    {"0.1000000000000000055511151231257827021181583404541015625"},
    {"0.1000000000000000055511151231257827021181583404541015624"},
    {"0.1000000000000000055511151231257827021181583404541015626"},
    {"1.00000000000000011102230246251565404236316680908203125"},
    {"1.00000000000000011102230246251565404236316680908203124"},
    {"1.00000000000000011102230246251565404236316680908203126"},
    {"2.00000000000000033306690738754696212708950042724609375"},
    // floats: short decimals whose nearest double is a halfway point
    // between two floats, so that rounding through the double goes wrong
    {"8.59110403060913"},
    {"4.243257761001587"},
    {"-4.243257761001587"},
    {"7.928527246110714e22"},
    {"8.650952364496992e+22"},
    {"1.503025536523528e28"},
    // floats: near the halfway point above 1
    {"1.000000059604644776"},
    {"1.000000059604644775"},
    {"1.00000005960464477539"},
    {"1.000000059604644775390625"},
    {"1.000000178813934326171875"},
    {"16777217"},
    {"16777217.000000000001"},
    {"33554434"},
    {"33554435"},
    {"0.10000000149011612"},
    {"3.4028235e38"},
    {"3.4028235677973366e38"},
    {"3.40282356779733661637539395458142568448e38"},
    {"3.40282356779733661637539395458142568447e38"},
    {"1.17549435e-38"},
    {"1.1754942e-38"},
    {"1e-45"},
    {"1.401298464324817e-45"},
    {"7.006492321624085354618647916449580656401e-46"},
    {"7.006492321624085354618647916449580656402e-46"},
    // doubles: the normal/subnormal border, the smallest subnormal, the
    // largest double and the overflow threshold
    {"2.2250738585072011e-308"},
    {"2.2250738585072012e-308"},
    {"2.2250738585072014e-308"},
    {"4.9406564584124654e-324"},
    {"5e-324"},
    {"2.4703282292062327e-324"},
    {"2.4703282292062328e-324"},
    {"1e-310"},
    {"-1e-310"},
    {"1.7976931348623157e308"},
    {"1.7976931348623158e308"},
    {"1.7976931348623158079e308"},
    {"1.797693134862315807937289714053034150799e308"},
    {"1.797693134862315807937289714053034150800e308"},
    {"8.98846567431158e307"},
    // overflow and underflow, signs kept
    {"1e309"},
    {"-1e309"},
    {"1e400"},
    {"1e-400"},
    {"-1e-400"},
    {"0e999999999"},
    {"-0e-999999999"},
    {"1e99999999999999999999"},
    {"-1e99999999999999999999"},
    {"1e-99999999999999999999"},
    {"-1e-99999999999999999999"},
    {"0.0000000000000000000000000000001e350"},
    {"100000000000000000000000000000000000000e-346"},
    {"123.456e-350"},
};

TEST(Scannum, HardCases) {
  for (const row& r : rows) {
    std::string text = r.text;
    std::string num = r.num ? r.num : text;
    ASSERT_EQ(text.compare(0, num.size(), num), 0) << text;
    // The table and the reference grammar agree; the grammar is used below.
    ASSERT_EQ(numlen(text), num.size()) << text;
    SCOPED_TRACE(text);
    checkboth(text, num.size());
  }
}

// Every prefix of every case: scannum must not look past its end bound.
TEST(Scannum, StopsAtTheEndBound) {
  for (const row& r : rows) {
    std::string text = r.text;
    for (size_t cut = 0; cut <= text.size(); ++cut) {
      std::string part = text.substr(0, cut);
      SCOPED_TRACE(part);
      // The bytes past the bound would change the value or the end if read.
      std::string guard = part + "99e9";
      const char* p = guard.data();
      double d;
      float f;
      size_t want = numlen(part);
      ASSERT_EQ(size_t(scannum(p, p + cut, d) - p), want);
      ASSERT_EQ(size_t(scannum(p, p + cut, f) - p), want);
      if (want) {
        EXPECT_EQ(bits(d), bits(ref(part.substr(0, want), 0.0)));
        EXPECT_EQ(bits(f), bits(ref(part.substr(0, want), 0.0f)));
      }
    }
  }
}

// Numbers of hundreds to a hundred thousand digits: the value depends on
// digits far past the first nineteen.
std::vector<std::string> longnumbers() {
  std::vector<std::string> v;
  std::string ones = "1";
  for (int i = 0; i < 999; ++i) ones += char('0' + (i * 7 + 3) % 10);
  v.push_back(ones);
  v.push_back("-" + ones + "e-700");
  v.push_back("0." + ones + "e-300");
  v.push_back(std::string(400, '0') + "1.5");
  v.push_back("1." + std::string(400, '0') + "1");
  v.push_back("0." + std::string(320, '0') + "24703282292062327");
  // 2^53 + 1 followed by zeros and then a last 1: just above a halfway point
  v.push_back("9007199254740993." + std::string(700, '0') + "1");
  v.push_back("9007199254740993." + std::string(700, '0'));
  v.push_back("16777217." + std::string(500, '0') + "1e-30");
  std::string huge(100000, '0');
  for (size_t i = 0; i < huge.size(); ++i) huge[i] = char('0' + (i * 31 + i / 7) % 10);
  huge[0] = '4';
  v.push_back(huge);                   // overflows
  v.push_back(huge + "e-99990");       // about 4e9
  v.push_back("0." + huge);            // about 0.4
  v.push_back("-." + huge + "E-320");  // subnormal
  v.push_back("1." + std::string(99998, '0') + "1");
  v.push_back("0." + std::string(100000, '0') + "1e100010");
  return v;
}

TEST(Scannum, LongMantissas) {
  for (const std::string& s : longnumbers()) {
    SCOPED_TRACE(s.substr(0, 60));
    checkboth(s, s.size());
    checkboth(s + "x", s.size());
  }
}

// Exact decimal text of a value held in long double or double; printf
// gives every digit.
template <class F>
std::string exact(F v) {
  static char buf[1200];
  if constexpr (sizeof(F) > sizeof(double))
    std::snprintf(buf, sizeof buf, "%.1000Le", v);
  else
    std::snprintf(buf, sizeof buf, "%.1000e", v);
  std::string s = buf;
  size_t e = s.find('e');
  size_t last = s.find_last_not_of('0', e - 1);
  if (s[last] == '.') --last;
  return s.substr(0, last + 1) + s.substr(e);
}

// The exact halfway point between neighbours, and points a hair above and
// below it: the last digit raised, or lowered with nines after it.
std::vector<std::string> around(const std::string& mid) {
  size_t e = mid.find('e');
  std::string m = mid.substr(0, e), x = mid.substr(e);
  std::string below = m;
  size_t k = below.find_last_not_of(".0");
  below[k] = char(below[k] - 1);
  if (below.find('.') == std::string::npos) below += ".";
  return {mid, m + (m.find('.') == std::string::npos ? ".0001" : "0001") + x, below + "999" + x};
}

TEST(Scannum, HalfwayPointsBetweenDoubles) {
  std::mt19937_64 rng(20070508);
  std::vector<double> lows = {0.0,
                              DBL_TRUE_MIN,
                              2 * DBL_TRUE_MIN,
                              DBL_MIN,
                              DBL_MIN / 2,
                              1.0,
                              0.1,
                              1e22,
                              9007199254740992.0,
                              DBL_MAX / 2,
                              std::nextafter(DBL_MAX, 0.0)};
  for (int i = 0; i < 3000; ++i) {
    double x = std::bit_cast<double>(rng() >> 1);  // positive, any exponent
    if (std::isfinite(x)) lows.push_back(x);
  }
  for (double x : lows) {
    double y = std::nextafter(x, INFINITY);
    long double mid = ((long double)x + (long double)y) / 2;  // exact
    for (const std::string& s : around(exact(mid))) {
      SCOPED_TRACE(s);
      check<double>(s, s.size());
      check<double>("-" + s, s.size() + 1);
    }
  }
  // Halfway between the largest double and the first value past it rounds
  // to infinity; just below it to the largest double.
  long double top = (long double)DBL_MAX + std::ldexp((long double)1, 970);
  for (const std::string& s : around(exact(top))) {
    SCOPED_TRACE(s);
    check<double>(s, s.size());
    check<double>("-" + s, s.size() + 1);
  }
}

TEST(Scannum, HalfwayPointsBetweenFloats) {
  std::mt19937 rng(20070508);
  std::vector<float> lows = {0.0f, FLT_TRUE_MIN, FLT_MIN,     FLT_MIN / 2,
                             1.0f, 0.1f,         16777216.0f, std::nextafter(FLT_MAX, 0.0f)};
  for (int i = 0; i < 3000; ++i) {
    float x = std::bit_cast<float>(uint32_t(rng() >> 1));
    if (std::isfinite(x)) lows.push_back(x);
  }
  for (float x : lows) {
    float y = std::nextafter(x, INFINITY);
    double mid = (double(x) + double(y)) / 2;  // exact
    for (const std::string& s : around(exact(mid))) {
      SCOPED_TRACE(s);
      check<float>(s, s.size());
      check<float>("-" + s, s.size() + 1);
    }
  }
  double top = double(FLT_MAX) + std::ldexp(1.0, 103);
  for (const std::string& s : around(exact(top))) {
    SCOPED_TRACE(s);
    check<float>(s, s.size());
  }
}

// Random digit strings of every shape, ended by a random byte that may or
// may not continue the number.
TEST(Scannum, RandomDigitStrings) {
  std::mt19937_64 rng(8052007);
  auto pick = [&](uint64_t n) { return uint64_t(rng() % n); };
  const char tails[] = " \t\re+-.E5xa";
  for (int i = 0; i < 200000; ++i) {
    std::string s;
    switch (pick(3)) {
      case 0:
        s += '-';
        break;
      case 1:
        if (pick(4) == 0) s += '+';
        break;
      default:
        break;
    }
    uint64_t lead = pick(8) == 0 ? pick(30) : 0;
    s.append(lead, '0');
    uint64_t intd = pick(4) == 0 ? pick(40) : pick(10);
    for (uint64_t k = 0; k < intd; ++k) s += char('0' + pick(10));
    if (pick(2)) {
      s += '.';
      uint64_t frac = pick(4) == 0 ? pick(40) : pick(12);
      for (uint64_t k = 0; k < frac; ++k) s += char('0' + pick(10));
    }
    if (pick(2)) {
      s += "eE"[pick(2)];
      uint64_t sg = pick(3);
      if (sg == 1) s += '-';
      if (sg == 2) s += '+';
      s += std::to_string(pick(4) == 0 ? pick(400) : pick(50));
    }
    s += tails[pick(sizeof tails - 1)];
    SCOPED_TRACE(s);
    checkboth(s, numlen(s));
    if (HasFailure()) return;  // one report is enough
  }
}

// ---- the block reader over rs.infile ----

// The bytes as the input file, with the reader started afresh.
struct feed {
  explicit feed(const std::string& bytes) {
    rs.infile = std::tmpfile();
    if (!rs.infile) std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), rs.infile) != bytes.size())
      std::abort();
    rdrewind();
  }
  ~feed() {
    std::fclose(rs.infile);
    rs.infile = nullptr;
  }
};

// One read as T, compared with the conversion of want ("" for a failed
// read).
template <class T>
::testing::AssertionResult reads(const std::string& want) {
  T v{};
  bool ok = rdnum(v);
  if (want.empty()) {
    if (ok) return ::testing::AssertionFailure() << "read " << v << ", wanted nothing";
    return ::testing::AssertionSuccess();
  }
  if (!ok) return ::testing::AssertionFailure() << "nothing read, wanted " << want;
  T w = ref(want, T());
  if (bits(v) != bits(w))
    return ::testing::AssertionFailure() << "read " << v << ", wanted " << w << " from " << want;
  return ::testing::AssertionSuccess();
}

TEST(Blockreader, WhiteSpaceAndTheEnd) {
  feed f(" \t\r\n1\r\n-2.5\t\t3e2 \n\n.5\r\n 7");
  for (const char* w : {"1", "-2.5", "3e2", ".5", "7", "", ""}) EXPECT_TRUE(reads<double>(w)) << w;
  rdrewind();
  EXPECT_TRUE(reads<double>("1"));
  EXPECT_TRUE(reads<float>("-2.5"));
  EXPECT_TRUE(reads<double>("3e2"));
  EXPECT_TRUE(reads<float>(".5"));
}

TEST(Blockreader, EmptyAndBlankFiles) {
  for (const char* bytes : {"", " ", "\r\n", "\n\n\t \r"}) {
    feed f(bytes);
    EXPECT_TRUE(reads<double>(""));
    EXPECT_TRUE(reads<float>(""));
  }
}

// After a token that is not a number nothing more is read, whatever
// follows, until the reader is rewound.
TEST(Blockreader, StuckAfterANonNumberUntilRewound) {
  struct {
    std::string bytes;
    std::vector<const char*> before;  // read before it sticks
  } cases[] = {
      {"1 2 x 3 4", {"1", "2"}},
      {"1 2 abc\n3 4\n", {"1", "2"}},
      {"0x10 5", {"0"}},
      {"1 0x10 5", {"1", "0"}},
      {"1e 5", {"1"}},
      {"1e+ 5", {"1"}},
      {"inf 1", {}},
      {"nan 1", {}},
      {"1 infinity 2", {"1"}},
      {"time amplitude\n0 1\n", {}},
      {"1\f2", {"1"}},
      {"1\v2", {"1"}},
      {"1,5 2", {"1"}},
      {"5 - 6", {"5"}},
      {"5 . 6", {"5"}},
      {"7abc 8", {"7"}},
      {"1.5.3 9", {"1.5", ".3", "9"}},
      {"1e5e3", {"1e5"}},
      {std::string("2 3 \0 4", 7), {"2", "3"}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    feed f(c.bytes);
    for (const char* w : c.before) EXPECT_TRUE(reads<double>(w)) << w;
    for (int k = 0; k < 3; ++k) {
      EXPECT_TRUE(reads<double>(""));
      EXPECT_TRUE(reads<float>(""));
    }
    rdrewind();
    for (const char* w : c.before) EXPECT_TRUE(reads<float>(w)) << w;
    EXPECT_TRUE(reads<double>(""));
  }
}

// A rewind in the middle starts again at the first byte, whatever was
// buffered or pending.
TEST(Blockreader, RewindInTheMiddle) {
  std::string bytes;
  std::vector<std::string> nums;
  for (int i = 0; i < 3000; ++i) {
    char b[64];
    std::snprintf(b, sizeof b, "%.6f", i * 0.001);
    nums.push_back(b);
    std::snprintf(b, sizeof b, "%.6g", std::sin(i * 0.3) * 1e-3);
    nums.push_back(b);
  }
  for (size_t i = 0; i < nums.size(); ++i) bytes += nums[i] + (i % 2 ? "\n" : " ");
  feed f(bytes);
  for (size_t stop : {size_t(1), size_t(7), size_t(100), nums.size() / 2, nums.size()}) {
    for (size_t i = 0; i < stop; ++i) ASSERT_TRUE(reads<double>(nums[i])) << i;
    rdrewind();
  }
  // The second pass of the program: time as double, amplitude as float.
  for (size_t i = 0; i < nums.size(); i += 2) {
    ASSERT_TRUE(reads<double>(nums[i])) << i;
    ASSERT_TRUE(reads<float>(nums[i + 1])) << i;
  }
  EXPECT_TRUE(reads<double>(""));
}

// Every case of the scannum table that fits a small block, as a token of a
// file placed so that the first block ends at each offset within it or in
// the three bytes after it, followed by another number (or nothing). With
// the program's large block every seventh case is taken, to keep it quick.
TEST(Blockreader, NumbersAcrossTheBlockBoundary) {
  std::vector<std::string> tokens;
  size_t stride = rdbufsize <= 4096 ? 1 : 7, at = 0;
  for (const row& r : rows) {
    std::string t = r.text;
    // tokens only: no white space inside, short enough for any block, and
    // not going on with another number ("1.5.3")
    if (t.empty() || t.find_first_of(" \t\r\n") != std::string::npos || t.size() > 48) continue;
    if (numlen(t) && numlen(t.substr(numlen(t)))) continue;
    if (at++ % stride == 0) tokens.push_back(t);
  }
  const char* seps[] = {" ", "\n", "\r\n", "\t", "  \r\n"};
  std::string bytes;
  int n = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    size_t len = numlen(t);
    std::string num = t.substr(0, len);
    bool rest = len < t.size();  // the token goes on with what is no number
    const std::string& next = tokens[(i * 7 + 3) % tokens.size()];
    size_t nlen = numlen(next);
    for (size_t k = 0; k <= t.size() + 3 && k <= rdbufsize; ++k) {
      for (int last = 0; last < 2; ++last) {
        const char* sep = seps[(k + i) % 5];
        bytes.assign(rdbufsize - k, ' ');
        bytes += t;
        if (!last) bytes += sep + next + sep;
        SCOPED_TRACE(::testing::Message() << t << " then " << (last ? "the end" : next)
                                          << ", block ends " << k << " bytes into it");
        feed f(bytes);
        ++n;
        // the statistics pass reads doubles, the segment pass a double and
        // a float; a float pass as well
        for (int pass = 0; pass < 3; ++pass) {
          if (pass) rdrewind();
          if (len) {
            ASSERT_TRUE(pass < 2 ? reads<double>(num) : reads<float>(num));
          }
          if (len && !rest && !last && nlen) {
            ASSERT_TRUE(pass < 1 ? reads<double>(next.substr(0, nlen))
                                 : reads<float>(next.substr(0, nlen)));
          }
          ASSERT_TRUE(reads<double>(""));
          ASSERT_TRUE(reads<float>(""));
        }
      }
    }
  }
  EXPECT_GT(n, 1000 / int(stride));
}

// Long numbers are read whole when they fit in a block.
TEST(Blockreader, LongNumbers) {
  for (const std::string& s : longnumbers()) {
    if (s.size() + 8 > rdbufsize / 2) continue;
    SCOPED_TRACE(s.substr(0, 60));
    feed f("1 " + s + "\n2 " + s + "\n");
    EXPECT_TRUE(reads<double>("1"));
    EXPECT_TRUE(reads<double>(s));
    EXPECT_TRUE(reads<double>("2"));
    EXPECT_TRUE(reads<float>(s));
    EXPECT_TRUE(reads<double>(""));
  }
}

}  // namespace
