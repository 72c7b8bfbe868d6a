// The kernel's transmit and receive through the frustrum, into and out of a
// host memory stream (by serialize and deserialize) and into and out of a
// kernel file; and the host file stream itself. Each against the same bytes
// moved straight: through the same stream, through a std::vector, through
// stdio with the frustrum's buffer, or by raw 1 MiB write()/read().
#include "bench_kernel.h"
#include "frustrum/file_transfer.h"
#include "paired.h"
#include "raw_io.h"

#include <cstdio>
#include <vector>

namespace mvbench {
namespace {

constexpr long long kFileStreamBytes = 256LL << 20;

// A memory stream that already holds a whole record, so that every timed
// pass overwrites or reads storage that is already there.
MvAutoPtr<MvMemoryStream> recordStream(const MvKMBrep& element) {
  MvAutoPtr<MvMemoryStream> stream(new MvMemoryStream());
  if (!element.serialize(*stream)) return MvAutoPtr<MvMemoryStream>();
  return stream;
}

// Serialize into a stream that already holds the record (warm: no memory is
// obtained) against the same blocks written into it directly.
void BM_HostStreamTransmitWarm(benchmark::State& state) {
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

// Serialize into a new memory stream (cold: every byte lands in memory
// obtained during the pass) against the same blocks appended to a new
// std::vector<char> that doubles its capacity when full. Neither side's
// release is timed.
void BM_HostStreamTransmitNew(benchmark::State& state) {
  installBenchKernel();
  MvAutoPtr<MvKMBrep> element = makeElement();
  const char* block = transmitBlock();
  runPaired(
      state,
      [&] {
        std::vector<char> bytes;
        return timed([&] {
          for (int i = 0; i < kSegmentBlocks; ++i) {
            if (bytes.size() + kBlockBytes > bytes.capacity()) bytes.reserve(2 * bytes.capacity() + kBlockBytes);
            bytes.insert(bytes.end(), block, block + kBlockBytes);
          }
          benchmark::DoNotOptimize(bytes.data());
          return bytes.size() == static_cast<std::size_t>(kSegmentBytes);
        });
      },
      [&] {
        MvAutoPtr<MvMemoryStream> stream(new MvMemoryStream());
        return timed([&] { return element->serialize(*stream) != 0 && stream->size() > kSegmentBytes; });
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

// The kernel's 4 KiB blocks written to a file and read back through stdio
// with a buffer of the frustrum's size.
bool stdioWriteRead(const std::string& name) {
  const char* block = transmitBlock();
  char* const buffer = receiveBuffer();
  std::vector<char> fileBuffer(mvkm::kFileBufferBytes);
  std::FILE* out = std::fopen(name.c_str(), "wb");
  if (!out) return false;
  std::setvbuf(out, fileBuffer.data(), _IOFBF, fileBuffer.size());
  for (int i = 0; i < kSegmentBlocks; ++i) std::fwrite(block, 1, kBlockBytes, out);
  if (std::fclose(out) != 0) return false;
  std::FILE* in = std::fopen(name.c_str(), "rb");
  if (!in) return false;
  std::setvbuf(in, fileBuffer.data(), _IOFBF, fileBuffer.size());
  long long bytes = 0;
  while (const std::size_t n = std::fread(buffer, 1, kBlockBytes, in)) bytes += static_cast<long long>(n);
  std::fclose(in);
  return bytes == kSegmentBytes;
}

bool frustrumWriteRead(const std::string& key) {
  long long bytes = 0;
  return kernelTransmit(key) && kernelReceive(key, bytes) && bytes == kSegmentBytes;
}

void BM_FileTransmitReceive_Stdio(benchmark::State& state) {
  installBenchKernel();
  const std::string key = scratchDirectory() + "/frustrum";
  const std::string name = scratchDirectory() + "/plain.bin";
  runPaired(state, [&] { return timed([&] { return stdioWriteRead(name); }); },
            [&] { return timed([&] { return frustrumWriteRead(key); }); });
}

void BM_FileTransmitReceive_Raw(benchmark::State& state) {
  installBenchKernel();
  const std::string key = scratchDirectory() + "/frustrum";
  const std::string name = scratchDirectory() + "/plain.bin";
  runPaired(state, [&] { return timed([&] { return rawWriteRead(name, kSegmentBytes, false); }); },
            [&] { return timed([&] { return frustrumWriteRead(key); }); });
}

// 256 MiB through a host file stream in the kernel's 4 KiB blocks: created,
// written, closed, opened and read back.
bool fileStreamWriteRead(const std::string& name) {
  const char* block = transmitBlock();
  char* const buffer = receiveBuffer();
  const long long blocks = kFileStreamBytes / kBlockBytes;
  {
    MvAutoPtr<MvFileStream> out(MvFileStream::create(name.c_str()));
    if (!out) return false;
    for (long long i = 0; i < blocks; ++i) {
      if (!out->writeBytes(block, kBlockBytes)) return false;
    }
    if (!out->close()) return false;
  }
  MvAutoPtr<MvFileStream> in(MvFileStream::open(name.c_str()));
  if (!in) return false;
  for (long long i = 0; i < blocks; ++i) {
    int nRead = 0;
    if (!in->readBytes(buffer, kBlockBytes, nRead)) return false;
  }
  return in->atEnd();
}

void BM_FileStreamWriteRead(benchmark::State& state) {
  const std::string name = scratchDirectory() + "/stream.mv";
  const std::string plain = scratchDirectory() + "/plain.bin";
  runPaired(state, [&] { return timed([&] { return rawWriteRead(plain, kFileStreamBytes, false); }); },
            [&] { return timed([&] { return fileStreamWriteRead(name); }); });
}

}  // namespace

BENCHMARK(BM_HostStreamTransmitWarm)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(31);
BENCHMARK(BM_HostStreamTransmitNew)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_HostStreamReceive)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(31);
BENCHMARK(BM_FileTransmitReceive_Stdio)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(11);
BENCHMARK(BM_FileTransmitReceive_Raw)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(11);
BENCHMARK(BM_FileStreamWriteRead)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

}  // namespace mvbench
