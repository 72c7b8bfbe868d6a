// The Open CASCADE adapter's receive of arbitrary record data, in both formats, through an in-memory frustrum: it
// creates parts that pass the adapter's own checks, or refuses with kErrCorruptData, a reason and nothing made.
#include "fuzz_check.h"
#include "kocct/kernel.h"

namespace {

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
  fuzzing::startSession<kocct::startSession, kocct::stopSession>();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  memfrustrum::state().files = {{".x_t", bytes}, {".x_b", bytes}};
  check(kocct::Format::Text);
  check(kocct::Format::Binary);
  return 0;
}
