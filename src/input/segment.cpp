#include <cmath>

#include "dialogue/dialogue.h"
#include "input/input.h"
#include "input/reader.h"
#include "run/runstate.h"

void readsegment() {
  std::fputs("\n\n reading time history ", stdout);
  double first = 0, last = 0, peak = 0;
  cplx* s = rs.samples;
  uint32_t j = 0;
  // A time that reads makes a record; an amplitude that does not read leaves
  // 0 in its place, and the next time then fails.
  for (; j < rs.m; ++j) {
    double t;
    if (!rdnum(t)) break;
    float a;
    if (!rdnum(a)) a = 0;  // a failed read may have left anything in a
    s[j].re = a;
    s[j].im = 0;
    double mag = std::fabs(double(a));
    if (mag > peak) peak = mag;
    (j == 0 ? first : last) = t;
  }
  if (j == 0) finish();
  rs.segpeak = peak;
  rs.tmid = (first + last) * 0.5;
  if (j < rs.m) finish();
}
