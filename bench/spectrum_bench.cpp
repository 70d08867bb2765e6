// Reorder + transform + peak search of one segment, per window size, with
// the AVX2 and the scalar butterflies. Each iteration reloads the window (as
// the reader would write it) and then runs bitrev and ctfourier (which ends
// with pickpeak); their console lines go to /dev/null through stdio, their
// records to /dev/null files. The report goes to the real standard output.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "run/runstate.h"
#include "spectrum/spectrum.h"

namespace {

void segment(benchmark::State& state) {
  const uint32_t nst = uint32_t(state.range(0));
  const bool simd = state.range(1) != 0;
  if (usesimd(simd) != simd) {
    state.SkipWithError("no AVX2 on this processor");
    return;
  }
  const uint32_t m = uint32_t(1) << nst;
  rs.twopi = rs.pi + rs.pi;
  rs.m = m;
  rs.nstages = nst;
  rs.df = 1 / (m * 1e-4);
  rs.tmid = 1.5;
  rs.segpeak = 1;
  // A swept tone with noise, as in the whole-run file.
  std::vector<cplx> window(m);
  uint64_t x = 88172645463325252u;
  for (uint32_t j = 0; j < m; ++j) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    const double t = j * 1e-4;
    window[j] = {
        float(std::sin(2 * M_PI * (100 + 2000 * t) * t) + 0.1 * (double(x >> 11) * 0x1p-53 - 0.5)),
        0};
  }
  for (auto _ : state) {
    std::memcpy(rs.samples, window.data(), m * sizeof(cplx));
    bitrev();
    ctfourier();
    benchmark::DoNotOptimize(rs.pkfreq);
  }
  state.SetLabel(simd ? "avx2" : "scalar");
  state.counters["m"] = m;
}

}  // namespace

BENCHMARK(segment)
    ->ArgsProduct({benchmark::CreateDenseRange(1, 18, 1), {1, 0}})
    ->ArgNames({"nstages", "avx2"})
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  // The operations print; their console is /dev/null, the report's the real one.
  std::fflush(stdout);
  const int real = dup(1);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  close(null);
  static char conbuf[1 << 16];
  std::setvbuf(stdout, conbuf, _IOFBF, sizeof conbuf);
  for (int k = 1; k <= 3; ++k) rs.outs[k] = std::fopen("/dev/null", "w");
  std::ofstream report("/dev/fd/" + std::to_string(real));
  benchmark::Initialize(&argc, argv);
  benchmark::ConsoleReporter rep(isatty(real) ? benchmark::ConsoleReporter::OO_Defaults
                                              : benchmark::ConsoleReporter::OO_Tabular);
  rep.SetOutputStream(&report);
  rep.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&rep);
  benchmark::Shutdown();
  usesimd(true);
}
