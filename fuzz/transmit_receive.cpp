// The sample kernel's parse and receive of arbitrary transmit data, in both
// formats. What parseTransmit accepts is valid, encodes and parses back to
// equal records; a receive through an in-memory frustrum serving the same
// bytes creates exactly those bodies, or none when the data is refused.
#include "fuzz_check.h"
#include "ksample/kernel.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// A frustrum that serves one buffer to the kernel's reads, in pieces of
// varying size as a real frustrum may deliver them; it refuses writes.
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

void check(const std::string& bytes, ksample::Format format) {
  std::vector<ksample::BodyRecord> parsed, again;
  std::string error;
  const bool accepted = ksample::parseTransmit(bytes.data(), bytes.size(), format, parsed, error);
  FUZZ_CHECK(accepted == error.empty() && (accepted || parsed.empty()));
  for (const ksample::BodyRecord& b : parsed) FUZZ_CHECK(ksample::isValidRecord(b));
  const std::string encoded = ksample::encodeTransmit(parsed, format);
  FUZZ_CHECK(!accepted || ksample::parseTransmit(encoded.data(), encoded.size(), format, again, error));
  FUZZ_CHECK(!accepted || again.size() == parsed.size());
  for (size_t i = 0; i < again.size(); ++i) FUZZ_CHECK(ksample::sameRecord(parsed[i], again[i]));

  gData = bytes;
  const int bodies = ksample::bodyCount();
  int count = -1;
  int* tags = nullptr;
  const int status = ksample::receive("", 0, format, count, tags);
  FUZZ_CHECK((status == ksample::kOk) == accepted);
  FUZZ_CHECK(accepted || (status == ksample::kErrCorruptData && !ksample::lastError().empty() && count == 0 && !tags));
  FUZZ_CHECK(count == static_cast<int>(parsed.size()) || !accepted);
  for (int i = 0; i < count; ++i) {
    ksample::BodyRecord record;
    FUZZ_CHECK(ksample::bodyRecord(tags[i], record) && ksample::sameRecord(record, parsed[static_cast<size_t>(i)]));
  }
  FUZZ_CHECK(!accepted || ksample::deleteBodies(count, tags) == ksample::kOk);
  ksample::freeTags(tags);
  FUZZ_CHECK(ksample::bodyCount() == bodies);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const struct Session {
    Session() {
      const ksample::Frustrum f{ok, ok, ok, openWrite, openRead, write, read, close, segment, segment, segment};
      FUZZ_CHECK(ksample::startSession(f) == ksample::kOk);
    }
    ~Session() { ksample::stopSession(); }
  } session;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  check(bytes, ksample::Format::Binary);
  check(bytes, ksample::Format::Text);
  return 0;
}
