// The Open CASCADE adapter's receive of arbitrary record data, in both
// formats, through an in-memory frustrum: it either creates parts that pass
// the adapter's own checks, or refuses with kErrCorruptData, a reason, and
// nothing created.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_check.h"
#include "kocct/kernel.h"

namespace {

// A frustrum that serves one buffer to the adapter's reads, in pieces of
// varying size; it refuses writes.
std::string gData;
size_t gAt = 0;

void ok(int* ifail) { *ifail = ksample::kFrOk; }
void openWrite(const int*, const int*, const char*, const int*, const char*, const int*, int* id, int* ifail) {
  *id = -1;
  *ifail = ksample::kFrCannotOpen;
}
void openRead(const int*, const int*, const char*, const int*, const int*, int* id, int* ifail) {
  gAt = 0;
  *id = 1;
  ok(ifail);
}
void write(const int*, const int*, const int*, const char*, int* ifail) { *ifail = ksample::kFrWriteFailure; }
void read(const int*, const int*, const int* max, char* buffer, int* delivered, int* ifail) {
  const size_t n = std::min({static_cast<size_t>(*max), 1 + gAt % 977, gData.size() - gAt});
  *delivered = static_cast<int>(gData.copy(buffer, n, gAt));
  gAt += n;
  *ifail = n == 0 ? ksample::kFrEndOfData : ksample::kFrOk;
}
void close(const int*, const int*, const int*, int* ifail) { ok(ifail); }
void segment(const int*, const int*, const int*, const int*, const double*, const int*, const int*, int* ifail) {
  ok(ifail);
}

void check(kocct::Format format) {
  const int before = kocct::partCount();
  int count = -1;
  int* tags = nullptr;
  const int status = kocct::receive("", 0, format, count, tags);
  FUZZ_CHECK(status == kocct::kOk || status == kocct::kErrCorruptData || status == kocct::kErrKernel);
  FUZZ_CHECK(status == kocct::kOk || (!kocct::lastError().empty() && count == 0 && tags == nullptr));
  FUZZ_CHECK(kocct::partCount() == before + count);
  for (int i = 0; i < count; ++i) FUZZ_CHECK(kocct::faceCount(tags[i]) > 0);
  FUZZ_CHECK(kocct::deleteParts(count, tags) == kocct::kOk);
  kocct::freeTags(tags);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const struct Session {
    Session() {
      const ksample::Frustrum f{ok, ok, ok, openWrite, openRead, write, read, close, segment, segment, segment};
      FUZZ_CHECK(kocct::startSession(f) == kocct::kOk);
    }
    ~Session() { kocct::stopSession(); }
  } session;
  gData.assign(reinterpret_cast<const char*>(data), size);
  check(kocct::Format::Text);
  check(kocct::Format::Binary);
  return 0;
}
