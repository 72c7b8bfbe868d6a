// Appending to a vector one element at a time, the nested kernel lock, and
// appending parts to an element one at a time against one bulk append.
#include "bench_kernel.h"
#include "paired.h"

#include <benchmark/benchmark.h>

#include <mutex>
#include <vector>

namespace mvbench {
namespace {

constexpr int kAppendCount = 10000000;
constexpr int kLockRounds = 1000000;
constexpr int kParts = 1000000;
// A one-part append pass that runs longer than this is stopped and shown as
// over the budget: without geometric growth of the flag list it would take
// hours.
constexpr double kPartPassBudgetSeconds = 10.0;

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

// Lock, lock again, unlock, unlock: an element operation that calls another
// one under the kernel lock.
void BM_KernelLock(benchmark::State& state) {
  installBenchKernel();
  std::recursive_mutex m;
  runPaired(
      state,
      [&] {
        return timed([&] {
          for (int i = 0; i < kLockRounds; ++i) {
            m.lock();
            m.lock();
            m.unlock();
            m.unlock();
          }
          return true;
        });
      },
      [] {
        return timed([] {
          unsigned ok = 1;
          for (int i = 0; i < kLockRounds; ++i) {
            ok &= MvKMBrep::staticLock(MvMutex::kInfinite);
            ok &= MvKMBrep::staticLock(MvMutex::kInfinite);
            ok &= MvKMBrep::staticUnlock();
            ok &= MvKMBrep::staticUnlock();
          }
          return ok != 0;
        });
      });
  state.counters["rounds"] = kLockRounds;
}

// 1,000,000 one-part appends against one append of 1,000,000 parts, each
// into a new element (owned by another, so nothing is released).
void BM_AppendKmPart(benchmark::State& state) {
  installBenchKernel();
  MvVec<int> all;
  for (int i = 0; i < kParts; ++i) all.append(i + 1);
  bool overBudget = false;
  runPaired(
      state,
      [&] {
        MvAutoPtr<MvKMBrep> element(new MvKMBrep());
        return timed([&] { return element->appendKmPart(all, 1) && element->kmPart().length() == kParts; });
      },
      [&] {
        MvAutoPtr<MvKMBrep> element(new MvKMBrep());
        MvVec<int> one;
        one.append(0);
        const double start = threadCpuSeconds();
        const double seconds = timed([&] {
          for (int i = 0; i < kParts; ++i) {
            one.ptr()[0] = i + 1;
            if (!element->appendKmPart(one, 1)) return false;
            if ((i & 1023) == 0 && threadCpuSeconds() - start > kPartPassBudgetSeconds) {
              overBudget = true;
              return false;
            }
          }
          return element->kmPart().length() == kParts;
        });
        return seconds;
      });
  state.counters["over_budget"] = overBudget ? 1 : 0;
}

}  // namespace

BENCHMARK(BM_VecAppend)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_KernelLock)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_AppendKmPart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

}  // namespace mvbench
