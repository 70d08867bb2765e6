// Fuzz target: the number reader on arbitrary bytes. Every number it takes
// must be the one strtod or strtof reads from the same bytes, bit for bit,
// and must end where the number grammar ends; it may refuse only a token
// that is no number, or one at least as long as its block.
#include "input/reader.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "run/runstate.h"

namespace {

[[noreturn]] void fail(const char* what, const char* p, size_t len) {
  std::fprintf(stderr, "reader: %s at \"%.*s\"\n", what, int(len < 80 ? len : 80), p);
  std::abort();
}

bool blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool digit(char c) {
  return c >= '0' && c <= '9';
}

// Length of the longest prefix of [p, e) that is a number: optional sign,
// digits with an optional point (one digit at least), optional exponent.
size_t grammar(const char* p, const char* e) {
  const char* q = p;
  if (q < e && (*q == '+' || *q == '-')) ++q;
  const char* d = q;
  while (q < e && digit(*q)) ++q;
  size_t ndig = size_t(q - d);
  if (q < e && *q == '.') {
    const char* f = ++q;
    while (q < e && digit(*q)) ++q;
    ndig += size_t(q - f);
  }
  if (ndig == 0) return 0;
  if (q < e && (*q == 'e' || *q == 'E')) {
    const char* x = q + 1;
    if (x < e && (*x == '+' || *x == '-')) ++x;
    if (x < e && digit(*x)) {
      while (x < e && digit(*x)) ++x;
      q = x;
    }
  }
  return size_t(q - p);
}

// strtod also reads hexadecimal, infinity and not-a-number forms, which
// are no numbers here; only there may its extent differ from ours.
bool otherform(const char* p, const char* e) {
  if (p < e && (*p == '+' || *p == '-')) ++p;
  if (p < e && (*p == 'i' || *p == 'I' || *p == 'n' || *p == 'N')) return true;
  return e - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
}

double conv(const char* s, char** end, double) {
  return std::strtod(s, end);
}
float conv(const char* s, char** end, float) {
  return std::strtof(s, end);
}

// The bytes from p up to the next white space in the C sense, which no form
// that strtod reads can contain; NUL-terminated (a NUL inside ends it early).
std::string word(const char* p, const char* e) {
  const char* q = p;
  while (q < e && !std::isspace(static_cast<unsigned char>(*q))) ++q;
  return std::string(p, q);
}

// Where there is no number, strtod finds none either, or one of its forms.
void nonumber(const char* p, const char* e) {
  std::string w = word(p, e);
  if (w.empty()) return;
  char* end;
  std::strtod(w.c_str(), &end);
  if (end != w.c_str() && !otherform(p, e)) fail("strtod reads a number here", p, w.size());
}

// Checks a number of len bytes read as v against the standard conversion.
template <class T>
void agree(const char* p, const char* e, size_t len, T v) {
  std::string whole = word(p, e);
  char* end;
  T ref = conv(whole.c_str(), &end, T());
  size_t reflen = size_t(end - whole.c_str());
  if (reflen != len && !otherform(p, e)) fail("extent differs from strtod", p, size_t(e - p));
  std::string token(p, len);
  ref = conv(token.c_str(), &end, T());
  if (size_t(end - token.c_str()) != len) fail("strtod does not take the whole number", p, len);
  if (std::memcmp(&ref, &v, sizeof v) != 0) fail("value differs from strtod", p, len);
}

template <class T>
void scanat(const char* p, const char* e) {
  T v;
  const char* r = scannum(p, e, v);
  size_t len = grammar(p, e);
  if (size_t(r - p) != len) fail("scannum extent differs from the grammar", p, size_t(e - p));
  if (len)
    agree(p, e, len, v);
  else
    nonumber(p, e);
}

// Reads the bytes as a file through the block reader; kind 0 reads doubles,
// 1 floats, 2 a double then a float as the segment pass does.
void walk(const char* data, size_t size, int kind) {
  rs.infile = fmemopen(const_cast<char*>(data), size, "r");
  if (!rs.infile) std::abort();
  rdrewind();
  const char* e = data + size;
  const char* q = data;
  for (int i = 0;; ++i) {
    while (q < e && blank(*q)) ++q;
    bool asdouble = kind == 0 || (kind == 2 && i % 2 == 0);
    double d = 0;
    float f = 0;
    bool ok = asdouble ? rdnum(d) : rdnum(f);
    if (q == e) {
      if (ok) fail("a number read past the end", q, 0);
      break;
    }
    size_t len = grammar(q, e);
    if (ok) {
      if (!len) fail("a number read where there is none", q, size_t(e - q));
      if (asdouble)
        agree(q, e, len, d);
      else
        agree(q, e, len, f);
      q += len;
      continue;
    }
    if (!len) nonumber(q, e);
    if (len) {
      size_t run = 0;
      while (q + run < e && !blank(q[run])) ++run;
      if (run < rdbufsize) fail("a number refused", q, size_t(e - q));
    }
    if (rdnum(d)) fail("a read after a refusal succeeded", q, size_t(e - q));
    break;
  }
  std::fclose(rs.infile);
  rs.infile = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const char* data = reinterpret_cast<const char*>(bytes);
  const char* e = data + size;
  // Straight on the bytes (no block limit): every token start.
  for (const char* p = data; p < e; ++p) {
    if (p != data && !blank(p[-1])) continue;
    scanat<double>(p, e);
    scanat<float>(p, e);
  }
  if (size)
    for (int kind = 0; kind < 3; ++kind) walk(data, size, kind);
  return 0;
}
