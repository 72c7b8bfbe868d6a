// The machine's own limits for the figures that move bytes: memcpy between
// resident buffers, memcpy into memory obtained for the pass (the page
// faults of first touch included), and page-cache write() and read() of
// 64 MiB in 1 MiB calls, the write also with fsync() (wall clock: the CPU
// clock does not see the wait for the disk).
#include "bench_kernel.h"
#include "paired.h"
#include "raw_io.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace mvbench {
namespace {

constexpr std::size_t kBytes = 64u << 20;

struct FreeBlock {
  void operator()(char* p) const { std::free(p); }
};
using Block = std::unique_ptr<char, FreeBlock>;

Block newBlock() { return Block(static_cast<char*>(std::malloc(kBytes))); }

void BM_Machine_Memcpy(benchmark::State& state) {
  Block from = newBlock();
  Block to = newBlock();
  if (!from || !to) return state.SkipWithError("no memory");
  std::memset(from.get(), 1, kBytes);
  std::memset(to.get(), 2, kBytes);
  runSingle(
      state,
      [&] {
        return timed([&] {
          std::memcpy(to.get(), from.get(), kBytes);
          benchmark::ClobberMemory();
          return true;
        });
      },
      kBytes);
}

void BM_Machine_FreshCopy(benchmark::State& state) {
  Block from = newBlock();
  if (!from) return state.SkipWithError("no memory");
  std::memset(from.get(), 1, kBytes);
  runSingle(
      state,
      [&] {
        Block to;
        return timed([&] {
          to = newBlock();
          if (!to) return false;
          std::memcpy(to.get(), from.get(), kBytes);
          benchmark::ClobberMemory();
          return true;
        });
      },
      kBytes);
}

void BM_Machine_PageCacheWrite(benchmark::State& state) {
  const std::string name = scratchDirectory() + "/machine.bin";
  runSingle(state, [&] { return timed([&] { return rawWrite(name, kBytes, false); }); }, kBytes);
}

void BM_Machine_PageCacheWriteFsync(benchmark::State& state) {
  const std::string name = scratchDirectory() + "/machine.bin";
  runSingle(state, [&] { return timedWall([&] { return rawWrite(name, kBytes, true); }); }, kBytes);
}

void BM_Machine_PageCacheRead(benchmark::State& state) {
  const std::string name = scratchDirectory() + "/machine.bin";
  if (!rawWrite(name, kBytes, false)) return state.SkipWithError("write failed");
  runSingle(state, [&] { return timed([&] { return rawRead(name, kBytes); }); }, kBytes);
}

}  // namespace

BENCHMARK(BM_Machine_Memcpy)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_Machine_FreshCopy)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_Machine_PageCacheWrite)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_Machine_PageCacheWriteFsync)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Machine_PageCacheRead)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);

}  // namespace mvbench
