#include "bench_kernel.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace mvbench {
namespace {

const int kGuise = MV_GUISE_TRANSMIT;
const int kFormat = MV_FORMAT_BINARY;
const char kHeaderData[] = "APPL=mv_bench;";

// Which key the callbacks pass to the frustrum; the element's transmit uses
// the current host stream.
std::string gCallbackKey;

unsigned writeCallback(int, const int*, unsigned) { return kernelTransmit(gCallbackKey) ? 1u : 0u; }

unsigned readCallback(int& count, int*& tags) {
  long long bytes = 0;
  if (!kernelReceive(gCallbackKey, bytes) || bytes != kSegmentBytes) return 0;
  tags = static_cast<int*>(std::malloc(sizeof(int)));
  if (!tags) return 0;
  tags[0] = 1;
  count = 1;
  return 1;
}

unsigned versionCallback(int& major, int& minor) {
  major = 1;
  minor = 0;
  return 1;
}

unsigned memoryReleaseCallback(void* p) {
  std::free(p);
  return 1;
}

unsigned releaseCallback(int, const int*) { return 1; }

}  // namespace

const char* transmitBlock() {
  static const struct Block {
    char bytes[kBlockBytes];
    Block() {
      for (int i = 0; i < kBlockBytes; ++i) bytes[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    }
  } block;
  return block.bytes;
}

char* receiveBuffer() {
  static std::vector<char> buffer(kBlockBytes);
  return buffer.data();
}

void installBenchKernel() {
  static const bool installed = [] {
    MvKMBrepLib::init();
    int ifail = 0;
    startFileFrustrum(&ifail);
    return true;
  }();
  (void)installed;
  MvKMBrep::setKmWriteCallback(writeCallback);
  MvKMBrep::setKmReadCallback(readCallback);
  MvKMBrep::setKmSplitCallback(nullptr);
  MvKMBrep::setKmVersionCallback(versionCallback);
  MvKMBrep::setKmMemoryRelCallback(memoryReleaseCallback);
  MvKMBrep::setKmReleaseCallback(releaseCallback);
  gCallbackKey.clear();
}

bool kernelTransmit(const std::string& key) {
  const int keyLength = static_cast<int>(key.size());
  const int headerLength = static_cast<int>(sizeof kHeaderData - 1);
  int id = 0;
  int ifail = 0;
  openWriteFrustrumFile(&kGuise, &kFormat, key.c_str(), &keyLength, kHeaderData, &headerLength, &id, &ifail);
  if (ifail != MV_FR_OK) return false;
  const char* block = transmitBlock();
  const int count = kBlockBytes;
  bool ok = true;
  for (int i = 0; i < kSegmentBlocks && ok; ++i) {
    writeToFrustrumFile(&kGuise, &id, &count, block, &ifail);
    ok = ifail == MV_FR_OK;
  }
  const int keep = 1;
  closeFrustrumFile(&kGuise, &id, &keep, &ifail);
  return ok && ifail == MV_FR_OK;
}

bool kernelReceive(const std::string& key, long long& bytes) {
  const int keyLength = static_cast<int>(key.size());
  const int skipHeader = 1;
  int id = 0;
  int ifail = 0;
  openReadFrustrumFile(&kGuise, &kFormat, key.c_str(), &keyLength, &skipHeader, &id, &ifail);
  if (ifail != MV_FR_OK) return false;
  char* const buffer = receiveBuffer();
  const int count = kBlockBytes;
  bytes = 0;
  for (;;) {
    int delivered = 0;
    readFromFrustrumFile(&kGuise, &id, &count, buffer, &delivered, &ifail);
    if (ifail != MV_FR_OK) break;
    bytes += delivered;
  }
  const bool ended = ifail == MV_FR_END_OF_DATA;
  const int keep = 1;
  closeFrustrumFile(&kGuise, &id, &keep, &ifail);
  return ended && ifail == MV_FR_OK;
}

const std::string& scratchDirectory() {
  // Removed with everything in it when the process ends normally.
  static const struct Scratch {
    std::string path;
    Scratch() {
      const std::filesystem::path p = std::filesystem::temp_directory_path() /
                                      ("mv_bench_" + std::to_string(static_cast<long long>(::getpid())));
      std::filesystem::create_directories(p);
      path = p.string();
    }
    ~Scratch() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  } scratch;
  return scratch.path;
}

MvAutoPtr<MvKMBrep> makeElement() {
  MvAutoPtr<MvKMBrep> element(new MvKMBrep());
  MvVec<int> parts;
  parts.append(1);
  element->appendKmPart(parts, 1);
  return element;
}

}  // namespace mvbench
