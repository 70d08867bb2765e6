#include <cmath>
#include <cstdint>

#include "dialogue/dialogue.h"
#include "input/input.h"
#include "input/reader.h"
#include "run/runstate.h"

[[noreturn]] static void stop(const char* msg) {
  std::fputs(msg, stdout);
  std::fputs("\n Press any key to exit \n", stdout);
  keywait();
  quit();
}

void readstats() {
  uint32_t count = 0;
  double sum = 0, sumsq = 0;
  double t0 = 0, prev = 0, t = 0, a = 0;
  double dtmin = 1e90, dtmax = -1e90;
  // A record is a time that reads; an amplitude that does not read keeps the
  // previous one (0 for the first record), and the next time then fails. A
  // failed read may have left anything in its argument, so it reads aside.
  while (rdnum(t)) {
    double next;
    if (rdnum(next)) a = next;
    sum += a;
    sumsq += a * a;
    if (count == 0) {
      t0 = t;
    } else {
      if (t < prev) stop("\n Time error.  Time values must ascend.");
      double d = t - prev;
      if (d < dtmin) dtmin = d;
      if (d > dtmax) dtmax = d;
    }
    prev = t;
    ++count;
  }
  rs.n = count;
  std::printf("\n dtmax = %8.4g   ", dtmax);
  std::printf(" dtmin = %8.4g \n", dtmin);
  std::printf("\n srmax = %8.4g   ", 1 / dtmin);
  std::printf(" srmin = %8.4g \n", 1 / dtmax);
  if (0.96 * dtmax > dtmin) stop("\n Time Step Error:   \n The time step must be constant. \n");
  rs.stepdt = (dtmax + dtmin) * 0.5;
  double tmax = count ? prev - t0 : 0;
  double sr = 1 / (tmax / int32_t(count - 1));
  double mean = sum / count;
  double rms = std::sqrt(sumsq / count);
  std::printf("\n n= %ld ", long(count));
  std::printf("\n tmax= %10.4g sec \n", tmax);
  if (count == 0) {
    std::fputs("\n error \n", stdout);
    quit();
  }
  std::printf("\n sr= %10.4g samples/sec ", sr);
  std::printf("\n dt= %10.4g sec \n", 1 / sr);
  std::printf("\n          mean = %10.4g ", mean);
  std::printf("\n overall level = %10.4g rms \n", rms);
  rdrewind();
  std::fputs("\n", stdout);
}
