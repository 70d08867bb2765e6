#include <cmath>
#include <cstdint>

#include "dialogue/dialogue.h"
#include "input/input.h"
#include "run/runstate.h"

static bool blank(int c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reads one token and takes it as a 32-bit signed integer only if it is
// wholly an optional sign and decimal digits within range; any other token
// is consumed and gives false. Ends the process at the end of input.
static bool readreply(int32_t& v) {
  int c;
  do c = conbyte();
  while (c != EOF && blank(c));
  if (c == EOF) {
    std::fputs("\n No window size given. \n", stdout);
    quit();
  }
  bool neg = c == '-', ok = true, digits = false;
  if (c == '-' || c == '+') c = conbyte();
  int64_t mag = 0;
  for (; c != EOF && !blank(c); c = conbyte()) {
    if (c < '0' || c > '9') {
      ok = false;
      continue;
    }
    digits = true;
    if (mag <= INT64_C(1) << 32) mag = mag * 10 + (c - '0');
  }
  int64_t val = neg ? -mag : mag;
  if (!ok || !digits || val < INT32_MIN || val > INT32_MAX) return false;
  v = int32_t(val);
  return true;
}

void pickwindow() {
  std::fputs("\n Windows size    Dur(sec)  delta f(Hz) \n", stdout);
  for (int k = 1; k <= 18; ++k) {
    double size = std::pow(2.0, k);
    std::printf(" %ld \t %8.4g \t %8.4g \n", long(size), size * rs.stepdt, 1 / (size * rs.stepdt));
  }
  for (;;) {
    std::fputs("\n Enter window size integer from the above table.\n", stdout);
    if (!readreply(rs.reply)) continue;
    for (uint32_t k = 1; k <= 18; ++k) {
      double size = std::pow(2.0, k);
      if (uint32_t(rs.reply) == uint32_t(size)) {
        rs.m = uint32_t(size);
        rs.nstages = k;
        rs.df = 1 / (size * rs.stepdt);
        return;
      }
    }
  }
}
