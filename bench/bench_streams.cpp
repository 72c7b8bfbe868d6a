// Figures 1 to 3: the kernel's transmit and receive through the frustrum,
// into and out of a host memory stream (by serialize and deserialize) and
// into and out of a kernel file, each against the same 4 KiB blocks moved
// straight through the same kind of stream or file.
#include "bench_kernel.h"
#include "paired.h"

#include <cstdio>

namespace mvbench {
namespace {

// A memory stream that already holds a whole record, so that every timed
// pass overwrites or reads storage that is already there.
MvAutoPtr<MvMemoryStream> recordStream(const MvKMBrep& element) {
  MvAutoPtr<MvMemoryStream> stream(new MvMemoryStream());
  if (!element.serialize(*stream)) return MvAutoPtr<MvMemoryStream>();
  return stream;
}

void BM_HostStreamTransmit(benchmark::State& state) {
  installBenchKernel();
  MvAutoPtr<MvKMBrep> element = makeElement();
  MvAutoPtr<MvMemoryStream> stream = recordStream(*element);
  if (!stream) return state.SkipWithError("serialize failed");
  const char* block = transmitBlock();
  runPaired(
      state,
      [&] {
        return timed([&] {
          stream->seek(0);
          for (int i = 0; i < kSegmentBlocks; ++i) {
            if (!stream->writeBytes(block, kBlockBytes)) return false;
          }
          return true;
        });
      },
      [&] {
        return timed([&] {
          stream->seek(0);
          return element->serialize(*stream) != 0;
        });
      });
}

void BM_HostStreamReceive(benchmark::State& state) {
  installBenchKernel();
  MvAutoPtr<MvMemoryStream> stream = recordStream(*makeElement());
  if (!stream) return state.SkipWithError("serialize failed");
  char* const buffer = receiveBuffer();
  const int segmentStart = stream->size() - static_cast<int>(kSegmentBytes);
  runPaired(
      state,
      [&] {
        return timed([&] {
          stream->seek(segmentStart);
          for (int i = 0; i < kSegmentBlocks; ++i) {
            int nRead = 0;
            if (!stream->readBytes(buffer, kBlockBytes, nRead)) return false;
          }
          benchmark::DoNotOptimize(buffer);
          return true;
        });
      },
      [&] {
        return timed([&] {
          stream->seek(0);
          MvAutoPtr<MvKMBrep> element(new MvKMBrep());
          return element->deserialize(*stream) != 0;
        });
      });
}

void BM_FileTransmitReceive(benchmark::State& state) {
  installBenchKernel();
  const std::string key = scratchDirectory() + "/frustrum";
  const std::string name = scratchDirectory() + "/plain.bin";
  const char* block = transmitBlock();
  char* const buffer = receiveBuffer();
  runPaired(
      state,
      [&] {
        return timed([&] {
          std::FILE* out = std::fopen(name.c_str(), "wb");
          if (!out) return false;
          for (int i = 0; i < kSegmentBlocks; ++i) std::fwrite(block, 1, kBlockBytes, out);
          if (std::fclose(out) != 0) return false;
          std::FILE* in = std::fopen(name.c_str(), "rb");
          if (!in) return false;
          long long bytes = 0;
          while (const std::size_t n = std::fread(buffer, 1, kBlockBytes, in)) bytes += static_cast<long long>(n);
          std::fclose(in);
          return bytes == kSegmentBytes;
        });
      },
      [&] {
        return timed([&] {
          long long bytes = 0;
          return kernelTransmit(key) && kernelReceive(key, bytes) && bytes == kSegmentBytes;
        });
      });
}

}  // namespace

BENCHMARK(BM_HostStreamTransmit)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK(BM_HostStreamReceive)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK(BM_FileTransmitReceive)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(16);

}  // namespace mvbench
