// Library figures measured against their baselines in pairs: each pass of
// the baseline is followed (or preceded, alternately) by a pass of the
// library, both timed by the thread's CPU clock, so that both sides of
// every pair see the same machine conditions. A benchmark reports the
// medians of both sides and the median of the per-pair ratios as counters
// lib_ms, base_ms and ratio; its manual time is the library's.
#ifndef MV_BENCH_PAIRED_H
#define MV_BENCH_PAIRED_H

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <vector>

namespace mvbench {

// CPU time of the calling thread (user and system), in seconds.
inline double threadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// Times one call of `work` (which returns false on failure): its CPU
// seconds, or -1 when it failed.
template <class Work>
double timed(Work work) {
  const double start = threadCpuSeconds();
  const bool ok = work();
  const double seconds = threadCpuSeconds() - start;
  return ok ? seconds : -1.0;
}

inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n == 0 ? 0.0 : n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// `baseline` and `library` each run one pass and return its CPU seconds
// (work outside the pass, such as releasing results, is theirs to leave
// untimed), or a negative value on failure.
template <class Baseline, class Library>
void runPaired(benchmark::State& state, Baseline baseline, Library library) {
  std::vector<double> lib;
  std::vector<double> base;
  std::vector<double> ratio;
  bool libraryFirst = false;
  for (auto _ : state) {
    double l = 0.0;
    double b = 0.0;
    if (libraryFirst) {
      l = library();
      b = baseline();
    } else {
      b = baseline();
      l = library();
    }
    libraryFirst = !libraryFirst;
    if (l < 0.0 || b < 0.0) return state.SkipWithError(l < 0.0 ? "library pass failed" : "baseline pass failed");
    state.SetIterationTime(l);
    lib.push_back(l);
    base.push_back(b);
    if (b > 0.0) ratio.push_back(l / b);
  }
  state.counters["lib_ms"] = 1e3 * median(lib);
  state.counters["base_ms"] = 1e3 * median(base);
  state.counters["ratio"] = median(ratio);
}

// Wall-clock seconds of one call of `work`, or -1 when it failed: for work
// that waits on the device, whose time the CPU clock does not see.
template <class Work>
double timedWall(Work work) {
  timespec a{}, b{};
  clock_gettime(CLOCK_MONOTONIC, &a);
  const bool ok = work();
  clock_gettime(CLOCK_MONOTONIC, &b);
  const double seconds = static_cast<double>(b.tv_sec - a.tv_sec) + 1e-9 * static_cast<double>(b.tv_nsec - a.tv_nsec);
  return ok ? seconds : -1.0;
}

// One measurement without a baseline: `pass` runs one pass and returns its
// seconds (negative on failure). Reports the median as counter lib_ms and
// `bytes` / median as gb_s when bytes is given.
template <class Pass>
void runSingle(benchmark::State& state, Pass pass, double bytes = 0.0) {
  std::vector<double> times;
  for (auto _ : state) {
    const double t = pass();
    if (t < 0.0) return state.SkipWithError("pass failed");
    state.SetIterationTime(t);
    times.push_back(t);
  }
  const double m = median(times);
  state.counters["lib_ms"] = 1e3 * m;
  if (bytes > 0.0 && m > 0.0) state.counters["gb_s"] = bytes / m / 1e9;
}

}  // namespace mvbench

#endif
