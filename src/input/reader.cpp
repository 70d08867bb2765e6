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

// from_chars does the long and rare cases; an out-of-range result is left
// unset by it, and then is +-infinity or 0, told apart by the magnitude.
template <class T>
static void slow(const numshape& s, T& v) {
  auto r = std::from_chars(s.body, s.end, v);
  if (r.ec == std::errc::result_out_of_range) v = s.mag10 > 0 ? T(INFINITY) : T(0);
  if (s.neg) v = -v;
}

const char* scannum(const char* p, const char* e, double& v) {
  numshape s = shape(p, e);
  if (s.end == p) return p;
  // Clinger: both operands exact, so one rounding gives the exact result.
  if (s.exact && s.mant <= (uint64_t(1) << 53) && s.exp10 >= -22 && s.exp10 <= 22) {
    double d = double(s.mant);
    d = s.exp10 < 0 ? d / pow10d[-s.exp10] : d * pow10d[s.exp10];
    v = s.neg ? -d : d;
  } else {
    slow(s, v);
  }
  return s.end;
}

const char* scannum(const char* p, const char* e, float& v) {
  numshape s = shape(p, e);
  if (s.end == p) return p;
  if (s.exact && s.mant <= (uint64_t(1) << 53) && s.exp10 >= -22 && s.exp10 <= 22) {
    // The double is the exact value correctly rounded; rounding it again to
    // float can differ from rounding the exact value only when it lands on
    // a midpoint between two floats (no double lies strictly between).
    double d = double(s.mant);
    d = s.exp10 < 0 ? d / pow10d[-s.exp10] : d * pow10d[s.exp10];
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    if ((bits & 0x1FFFFFFF) != 0x10000000) {
      float f = float(d);
      v = s.neg ? -f : f;
      return s.end;
    }
  }
  slow(s, v);
  return s.end;
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
static bool next(T& v) {
  if (stuck) return false;
  for (;;) {
    while (pos < end && blank(*pos)) ++pos;
    if (pos == end) {
      if (eof) return false;
      refill();
      continue;
    }
    const char* r = scannum(pos, end, v);
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

bool rdnum(double& v) {
  return next(v);
}
bool rdnum(float& v) {
  return next(v);
}
