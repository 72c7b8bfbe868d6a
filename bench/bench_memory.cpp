// Figure 4: the peak memory of a 64 MiB serialize into a file-backed host
// stream. The serialize runs in a forked child whose peak resident size is
// reset just before it, so the figure is the growth that serialize itself
// causes. For comparison the same serialize into a memory stream, which has
// to hold the whole segment, is measured the same way.
#include "bench_kernel.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace mvbench {
namespace {

// A field of /proc/self/status in KiB ("VmHWM:", "VmRSS:"), or -1.
long long statusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::size_t n = std::strlen(field);
  while (std::getline(status, line)) {
    if (line.compare(0, n, field) == 0) return std::stoll(line.substr(n));
  }
  return -1;
}

// Sets the peak resident size back to the current resident size.
bool resetPeak() {
  std::ofstream clearRefs("/proc/self/clear_refs");
  clearRefs << "5";
  clearRefs.flush();
  return clearRefs.good();
}

// Runs `work` (given a prepared element) in a child process: the growth of
// its peak resident size in KiB over what it was just before, or -1.
template <class Work>
long long childPeakGrowthKiB(Work work) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return -1;
  }
  if (pid == 0) {
    ::close(fds[0]);
    long long growth = -1;
    if (resetPeak()) {
      const long long before = statusKiB("VmHWM:");
      if (work()) growth = statusKiB("VmHWM:") - before;
    }
    const ssize_t written = ::write(fds[1], &growth, sizeof growth);
    ::_exit(written == static_cast<ssize_t>(sizeof growth) ? 0 : 1);
  }
  ::close(fds[1]);
  long long growth = -1;
  if (::read(fds[0], &growth, sizeof growth) != static_cast<ssize_t>(sizeof growth)) growth = -1;
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? growth : -1;
}

void BM_SerializePeakMemory(benchmark::State& state, bool toFile) {
  installBenchKernel();
  const std::string path = scratchDirectory() + "/host.mv";
  long long worst = 0;
  for (auto _ : state) {
    // Everything but the serialize itself is made before the measurement.
    MvAutoPtr<MvKMBrep> element = makeElement();
    MvAutoPtr<MvObjectStream> stream;
    if (toFile) {
      stream = MvFileStream::create(path.c_str());
    } else {
      stream = new MvMemoryStream();
    }
    if (!stream) return state.SkipWithError("no host stream");
    const long long growth = childPeakGrowthKiB([&] { return element->serialize(*stream) != 0; });
    if (growth < 0) return state.SkipWithError("peak memory not measurable");
    if (growth > worst) worst = growth;
  }
  state.counters["peak_growth_kib"] = static_cast<double>(worst);
}

void BM_SerializePeakMemory_Library(benchmark::State& state) { BM_SerializePeakMemory(state, true); }
void BM_SerializePeakMemory_MemoryStream(benchmark::State& state) { BM_SerializePeakMemory(state, false); }

}  // namespace

BENCHMARK(BM_SerializePeakMemory_Library)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SerializePeakMemory_MemoryStream)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace mvbench
