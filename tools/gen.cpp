// sonogen: writes a time history in sonotrace's input format, one
// "time amplitude" pair per line, to standard output.
//
//   sonogen [-n COUNT] [-dt STEP] [-t0 START] [-kind sine|step|sweep|noise]
//           [-f HZ] [-f2 HZ] [-a AMP] [-noise AMP] [-seed N]
//           [-tfmt FMT] [-afmt FMT]
//
// sine: a tone of f; step: f for the first half, f2 for the second; sweep:
// a linear chirp from f to f2; noise: noise alone. -noise adds uniform noise
// of that amplitude to any kind. The noise comes from a fixed generator, so
// the same options give the same file on every machine.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static uint64_t state = 0x9E3779B97F4A7C15u;

static double uniform() {  // splitmix64, in [-1, 1)
  uint64_t z = (state += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  z ^= z >> 31;
  return double(z >> 11) * 0x1p-52 - 1.0;
}

static int usage() {
  std::fputs(
      "usage: sonogen [-n COUNT] [-dt STEP] [-t0 START] [-kind sine|step|sweep|noise]\n"
      "               [-f HZ] [-f2 HZ] [-a AMP] [-noise AMP] [-seed N]\n"
      "               [-tfmt FMT] [-afmt FMT]\n",
      stderr);
  return 2;
}

int main(int argc, char** argv) {
  long long n = 10000;
  double dt = 0.001, t0 = 0, f = 50, f2 = 200, amp = 1, noise = 0;
  const char* kind = "sine";
  const char* tfmt = "%.6f";
  const char* afmt = "%.6g";
  for (int i = 1; i < argc; i += 2) {
    if (i + 1 >= argc) return usage();
    const char* k = argv[i];
    const char* v = argv[i + 1];
    if (!std::strcmp(k, "-n"))
      n = std::atoll(v);
    else if (!std::strcmp(k, "-dt"))
      dt = std::atof(v);
    else if (!std::strcmp(k, "-t0"))
      t0 = std::atof(v);
    else if (!std::strcmp(k, "-kind"))
      kind = v;
    else if (!std::strcmp(k, "-f"))
      f = std::atof(v);
    else if (!std::strcmp(k, "-f2"))
      f2 = std::atof(v);
    else if (!std::strcmp(k, "-a"))
      amp = std::atof(v);
    else if (!std::strcmp(k, "-noise"))
      noise = std::atof(v);
    else if (!std::strcmp(k, "-seed"))
      state += std::strtoull(v, nullptr, 10);
    else if (!std::strcmp(k, "-tfmt"))
      tfmt = v;
    else if (!std::strcmp(k, "-afmt"))
      afmt = v;
    else
      return usage();
  }
  bool sine = !std::strcmp(kind, "sine"), step = !std::strcmp(kind, "step"),
       sweep = !std::strcmp(kind, "sweep"), none = !std::strcmp(kind, "noise");
  if (!(sine || step || sweep || none) || n < 0) return usage();

  static char out[1 << 16];
  std::setvbuf(stdout, out, _IOFBF, sizeof out);
  const double twopi = 2 * std::acos(-1.0);
  const double total = n * dt;
  for (long long i = 0; i < n; ++i) {
    double t = i * dt;  // time from the start; the phase does not depend on t0
    double y = 0;
    if (sine) y = amp * std::sin(twopi * f * t);
    if (step) y = amp * std::sin(twopi * (i < n / 2 ? f : f2) * t);
    if (sweep) y = amp * std::sin(twopi * (f * t + (f2 - f) * t * t / (2 * total)));
    if (noise > 0) y += noise * uniform();
    std::printf(tfmt, t0 + t);
    std::putchar(' ');
    std::printf(afmt, y);
    std::putchar('\n');
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
