// Throughput of the time-history reader on a generated file of 1 000 000
// records ("%.6f" times, "%.6g" amplitudes), for both passes of a run: the
// statistics pass reads two doubles per record, the segment pass a double
// time and a float amplitude.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>

#include "input/reader.h"
#include "run/runstate.h"

namespace {

constexpr long records = 1000000;
std::string dir, path;
long filebytes;

// A 50 Hz tone with some noise, sampled at 1 kHz.
bool generate() {
  char tmpl[] = "/tmp/sonotrace-bench-XXXXXX";
  if (!mkdtemp(tmpl)) return false;
  dir = tmpl;
  path = dir + "/history.txt";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  uint64_t state = 12345;
  for (long i = 0; i < records; ++i) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    double noise = double(state >> 11) * 0x1p-53 - 0.5;
    double t = i * 0.001;
    std::fprintf(f, "%.6f %.6g\n", t, std::sin(2 * std::numbers::pi * 50 * t) + 0.2 * noise);
  }
  filebytes = std::ftell(f);
  return std::fclose(f) == 0;
}

template <class A>
void pass(benchmark::State& state) {
  rs.infile = std::fopen(path.c_str(), "rb");
  if (!rs.infile) {
    state.SkipWithError("cannot open the history");
    return;
  }
  long n = 0;
  for (auto _ : state) {
    rdrewind();
    n = 0;
    double t;
    A a;
    while (rdnum(t)) {
      rdnum(a);
      benchmark::DoNotOptimize(t);
      benchmark::DoNotOptimize(a);
      ++n;
    }
  }
  std::fclose(rs.infile);
  rs.infile = nullptr;
  if (n != records) state.SkipWithError("wrong record count");
  state.SetBytesProcessed(int64_t(state.iterations()) * filebytes);
  state.counters["records/s"] =
      benchmark::Counter(double(n), benchmark::Counter::kIsIterationInvariantRate);
}

void statspass(benchmark::State& state) {
  pass<double>(state);
}
void segmentpass(benchmark::State& state) {
  pass<float>(state);
}

BENCHMARK(statspass)->Unit(benchmark::kMillisecond);
BENCHMARK(segmentpass)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  bool ok = generate();
  if (ok)
    benchmark::RunSpecifiedBenchmarks();
  else
    std::fputs("cannot write the generated history\n", stderr);
  std::remove(path.c_str());
  rmdir(dir.c_str());
  benchmark::Shutdown();
  return ok ? 0 : 1;
}
