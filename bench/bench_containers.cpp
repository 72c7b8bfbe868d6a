// Figures 7 and 8: appending to a vector one element at a time, and a nested
// kernel lock and unlock on the thread that already holds the lock.
#include "bench_kernel.h"
#include "paired.h"

#include <benchmark/benchmark.h>

#include <mutex>
#include <vector>

namespace mvbench {
namespace {

constexpr int kAppendCount = 10000000;
constexpr int kRepetitions = 9;

void BM_VecAppend(benchmark::State& state) {
  runPaired(
      state,
      [] {
        return timed([] {
          std::vector<int> v;
          for (int i = 0; i < kAppendCount; ++i) v.push_back(i);
          benchmark::DoNotOptimize(v.data());
          return true;
        });
      },
      [] {
        return timed([] {
          MvVec<int> v;
          for (int i = 0; i < kAppendCount; ++i) v.append(i);
          benchmark::DoNotOptimize(v.ptr());
          return v.length() == kAppendCount;
        });
      });
}

void BM_KernelLock_Library(benchmark::State& state) {
  installBenchKernel();
  if (!MvKMBrep::staticLock(MvMutex::kInfinite)) return state.SkipWithError("no kernel lock");
  for (auto _ : state) {
    MvKMBrep::staticLock(MvMutex::kInfinite);
    MvKMBrep::staticUnlock();
  }
  MvKMBrep::staticUnlock();
}

void BM_KernelLock_Baseline(benchmark::State& state) {
  std::recursive_mutex m;
  std::lock_guard<std::recursive_mutex> outer(m);
  for (auto _ : state) {
    m.lock();
    m.unlock();
  }
}

}  // namespace

BENCHMARK(BM_VecAppend)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_KernelLock_Library)->Unit(benchmark::kNanosecond)->MinTime(0.05)->Repetitions(kRepetitions);
BENCHMARK(BM_KernelLock_Baseline)->Unit(benchmark::kNanosecond)->MinTime(0.05)->Repetitions(kRepetitions);

}  // namespace mvbench
