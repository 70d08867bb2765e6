#include "input/reader.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "run/runstate.h"

// The exact fast paths below need arithmetic in the declared types.
static_assert(FLT_EVAL_METHOD == 0);

static bool digit(char c) {
  return unsigned(c - '0') < 10;
}

static const double pow10d[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The shape of one number: where it ends, and for a short mantissa its
// digits as an integer with a decimal exponent.
struct numshape {
  const char* end;   // p when there is no number
  const char* body;  // first byte after the sign
  bool neg;
  bool exact;  // mant and exp10 describe the value exactly
  uint64_t mant;
  long exp10;
  long mag10;  // decimal magnitude of the leading digit, for out-of-range results
};

static numshape shape(const char* p, const char* e) {
  numshape s{p, p, false, false, 0, 0, 0};
  const char* q = p;
  if (q < e && (*q == '+' || *q == '-')) {
    s.neg = *q == '-';
    ++q;
  }
  s.body = q;
  int nd = 0;         // digits taken into mant
  long dropped = 0;   // integer digits beyond mant (exp10 grows by them)
  bool lost = false;  // a nonzero digit did not fit into mant
  long intdig = 0, leadzero = 0;
  bool seen = false, sig = false;
  for (; q < e && digit(*q); ++q) {
    seen = true;
    if (*q != '0') sig = true;
    if (sig) ++intdig;
    if (nd < 19) {
      s.mant = s.mant * 10 + unsigned(*q - '0');
      if (s.mant) ++nd;
    } else {
      ++dropped;
      lost |= *q != '0';
    }
  }
  if (q < e && *q == '.') {
    ++q;
    for (; q < e && digit(*q); ++q) {
      seen = true;
      if (!sig) {
        if (*q == '0')
          ++leadzero;
        else
          sig = true;
      }
      if (nd < 19) {
        s.mant = s.mant * 10 + unsigned(*q - '0');
        if (s.mant) ++nd;
        --s.exp10;
      } else {
        lost |= *q != '0';
      }
    }
  }
  if (!seen) return s;
  long ex = 0;
  if (q < e && (*q == 'e' || *q == 'E')) {
    const char* x = q + 1;
    bool xneg = false;
    if (x < e && (*x == '+' || *x == '-')) {
      xneg = *x == '-';
      ++x;
    }
    if (x < e && digit(*x)) {
      for (; x < e && digit(*x); ++x)
        if (ex < 100000000) ex = ex * 10 + (*x - '0');
      if (xneg) ex = -ex;
      q = x;
    }
  }
  s.end = q;
  s.exp10 += dropped + ex;
  s.exact = !lost;
  s.mag10 = (intdig > 0 ? intdig : -leadzero) + ex;
  return s;
}

// Eight bytes at p, in memory order from the low byte up.
static uint64_t load8(const char* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// How many of the eight bytes of w, from the low one, are decimal digits
// before the first that is not (8 when all are).
static int digitrun(uint64_t w) {
  const uint64_t y = w ^ 0x3030303030303030;  // a digit becomes 0..9
  // A byte is flagged when it is 10 or more (bytes of 0x80 or more keep
  // their top bit; the others are added to without carrying out of the byte).
  const uint64_t big = (((y & 0x7F7F7F7F7F7F7F7F) + 0x7676767676767676) | y) & 0x8080808080808080;
  return big ? __builtin_ctzll(big) >> 3 : 8;
}

// The value of the first n (1..8) bytes of w, all digits, the first byte
// being the most significant.
static uint64_t digitval(uint64_t w, int n) {
  // Bytes past the digits may borrow, but only upwards, and those are
  // shifted out; the shift fills the low bytes with leading zeros.
  uint64_t v = (w - 0x3030303030303030) << (8 * (8 - n));
  v = v * 10 + (v >> 8);  // pairs of digits
  v = (((v & 0x000000FF000000FF) * (100 + (uint64_t(1000000) << 32))) +
       (((v >> 16) & 0x000000FF000000FF) * (1 + (uint64_t(10000) << 32)))) >>
      32;
  return v;
}

static const uint64_t pow10u[8] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

// The usual shapes of a history, read eight digits at a time: an optional
// '-', 1 to 7 integer digits, optionally a point and up to 7 digits, and an
// optional exponent of up to 4 digits, with at least 17 bytes before e (the
// integer and fraction words are loaded whole; nothing past p + 16 is
// loaded unless the exponent is read, byte by byte). The mantissa then has
// at most 14 digits, exact in a double. Gives false, having set nothing,
// for any other shape, which the general scan then reads.
static inline bool quick(const char*& p, const char* e, uint64_t& mant, long& exp10, bool& neg) {
  if (e - p < 17) return false;
  const char* q = p;
  neg = *q == '-';
  q += neg;
  const uint64_t w = load8(q);
  const int n1 = digitrun(w);
  if (n1 == 0 || n1 == 8) return false;
  mant = digitval(w, n1);
  q += n1;
  exp10 = 0;
  if (*q == '.') {
    ++q;
    const uint64_t w2 = load8(q);
    const int n2 = digitrun(w2);
    if (n2 == 8) return false;
    if (n2) {
      mant = mant * pow10u[n2] + digitval(w2, n2);
      q += n2;
      exp10 = -n2;
    }
  }
  if (*q == 'e' || *q == 'E') {
    const char* x = q + 1;
    bool xneg = false;
    if (x < e && (*x == '+' || *x == '-')) {
      xneg = *x == '-';
      ++x;
    }
    if (x < e && digit(*x)) {
      long ex = 0;
      int nx = 0;
      for (; x < e && digit(*x); ++x) {
        if (++nx > 4) return false;  // longer exponents go the general way
        ex = ex * 10 + (*x - '0');
      }
      exp10 += xneg ? -ex : ex;
      q = x;
    }
  }
  p = q;
  return true;
}

// from_chars does the long and rare cases; an out-of-range result is left
// unset by it, and then is +-infinity or 0, told apart by the magnitude.
template <class T>
static void slow(const numshape& s, T& v) {
  auto r = std::from_chars(s.body, s.end, v);
  if (r.ec == std::errc::result_out_of_range) v = s.mag10 > 0 ? T(INFINITY) : T(0);
  if (s.neg) v = -v;
}

// Clinger: with the mantissa and the power of ten both exact doubles, the
// one rounding of the product or quotient gives the correctly rounded value.
static bool clingerok(uint64_t mant, long exp10) {
  return mant <= (uint64_t(1) << 53) && exp10 >= -22 && exp10 <= 22;
}

static double clinger(uint64_t mant, long exp10) {
  const double d = double(mant);
  return exp10 < 0 ? d / pow10d[-exp10] : d * pow10d[exp10];
}

// The double is the exact value correctly rounded; rounding it again to
// float can differ from rounding the exact value only when it lands on a
// midpoint between two floats (no double lies strictly between). Clinger's
// values lie far inside the range of normal floats, where every midpoint
// ends in a one followed by 28 zero bits.
static bool midpoint(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return (bits & 0x1FFFFFFF) == 0x10000000;
}

// The sign goes in as a bit: signs alternate at random in a history, and a
// branch on them would be mispredicted half the time.
static inline double withsign(double d, bool neg) {
  uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  b |= uint64_t(neg) << 63;
  std::memcpy(&d, &b, sizeof d);
  return d;
}

static inline float withsign(float f, bool neg) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  b |= uint32_t(neg) << 31;
  std::memcpy(&f, &b, sizeof f);
  return f;
}

// The value of a number that quick reads, when Clinger's method gives it;
// sets v and p only then. A float also needs the double off a midpoint.
template <class T>
static inline bool fastnum(const char*& p, const char* e, T& v) {
  const char* q = p;
  uint64_t mant;
  long exp10;
  bool neg;
  if (!quick(q, e, mant, exp10, neg) || !clingerok(mant, exp10)) return false;
  const double d = clinger(mant, exp10);
  if (sizeof(T) == sizeof(float) && midpoint(d)) return false;
  v = withsign(T(d), neg);
  p = q;
  return true;
}

// Every number, byte by byte.
template <class T>
[[gnu::noinline]] static const char* scanall(const char* p, const char* e, T& v) {
  numshape s = shape(p, e);
  if (s.end == p) return p;
  if (s.exact && clingerok(s.mant, s.exp10)) {
    const double d = clinger(s.mant, s.exp10);
    if (sizeof(T) == sizeof(double) || !midpoint(d)) {
      const T f = T(d);
      v = s.neg ? -f : f;
      return s.end;
    }
  }
  slow(s, v);
  return s.end;
}

const char* scannum(const char* p, const char* e, double& v) {
  const char* q = p;
  return fastnum(q, e, v) ? q : scanall(p, e, v);
}

const char* scannum(const char* p, const char* e, float& v) {
  const char* q = p;
  return fastnum(q, e, v) ? q : scanall(p, e, v);
}

// The block: bytes [pos, end) of the file are not yet taken.
static char rdbuf[rdbufsize];
static char* pos = rdbuf;
static char* end = rdbuf;
static bool eof;
static bool stuck;

void rdrewind() {
  std::rewind(rs.infile);
  pos = end = rdbuf;
  eof = stuck = false;
}

// Moves what is left to the front and fills the rest of the block.
static void refill() {
  size_t keep = size_t(end - pos);
  std::memmove(rdbuf, pos, keep);
  pos = rdbuf;
  end = rdbuf + keep;
  size_t want = rdbufsize - keep;
  size_t got = std::fread(end, 1, want, rs.infile);
  end += got;
  if (got < want) eof = true;  // end of file or a read error: no more bytes
}

static bool blank(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// Whether bytes past e can still change what is read at p, the number read
// there ending at r: only while [r, e) could begin more of it: nothing at
// all, an exponent without its digits ("1e", "1e+"), or where no number
// starts, a lone sign or point ("-", "-.").
static bool unfinished(const char* p, const char* r, const char* e) {
  if (r == e) return true;
  if (e - r > 2) return false;
  if (r > p) return (*r == 'e' || *r == 'E') && (e - r == 1 || r[1] == '+' || r[1] == '-');
  if (*p == '+' || *p == '-') ++p;
  if (p < e && *p == '.') ++p;
  return p == e;
}

template <class T>
[[gnu::noinline]] static bool nextslow(T& v) {
  if (stuck) return false;
  for (;;) {
    while (pos < end && blank(*pos)) ++pos;
    if (pos == end) {
      if (eof) return false;
      refill();
      continue;
    }
    const char* r = pos;
    if (!fastnum(r, end, v)) r = scanall(pos, end, v);
    // The decision waits for the bytes that can change it; a number that
    // the block holds whole, with what ends it, is taken as it is.
    if (!eof && unfinished(pos, r, end)) {
      if (pos == rdbuf && end == rdbuf + rdbufsize) {
        // A token as long as the whole block is not read as a number.
        stuck = true;
        return false;
      }
      refill();
      continue;
    }
    if (r == pos) {
      stuck = true;
      return false;
    }
    pos = const_cast<char*>(r);
    return true;
  }
}

// The usual case first, without calls: a few blanks, then a number of the
// quick shape that ends well inside the block. Anything else, the block's
// end included, goes the general way.
template <class T>
static inline bool next(T& v) {
  if (!stuck && end - pos >= 64) {
    const char* p = pos;
    int k = 0;
    while (k < 16 && blank(*p)) ++p, ++k;
    const char* r = p;
    if (k < 16 && fastnum(r, end, v) && end - r >= 3) {
      pos = const_cast<char*>(r);
      return true;
    }
  }
  return nextslow(v);
}

bool rdnum(double& v) {
  return next(v);
}
bool rdnum(float& v) {
  return next(v);
}
