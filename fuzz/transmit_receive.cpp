// The sample kernel's parse and receive of arbitrary transmit data, in both
// formats. What parseTransmit accepts is valid, encodes and parses back to
// equal records; a receive through an in-memory frustrum serving the same
// bytes creates exactly those bodies, or none when the data is refused.
#include "fuzz_check.h"
#include "ksample/kernel.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// A frustrum that serves one buffer to the kernel's reads, in pieces.
std::string gData;
size_t gAt = 0;

void ok(int* ifail) { *ifail = ksample::kFrOk; }
void start(int* ifail) { ok(ifail); }
void stop(int* ifail) { ok(ifail); }
void abortFr(int* ifail) { ok(ifail); }
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
  // Pieces of varying size, as a real frustrum may deliver them.
  const size_t piece = std::min<size_t>(static_cast<size_t>(*max), 1 + gAt % 977);
  const size_t n = std::min(piece, gData.size() - gAt);
  *delivered = static_cast<int>(n);
  if (n == 0) {
    *ifail = ksample::kFrEndOfData;
    return;
  }
  gData.copy(buffer, n, gAt);
  gAt += n;
  ok(ifail);
}
void close(const int*, const int*, const int*, int* ifail) { ok(ifail); }
void segment(const int*, const int*, const int*, const int*, const double*, const int*, const int*, int* ifail) {
  ok(ifail);
}

struct Session {
  Session() {
    const ksample::Frustrum f{start, stop, abortFr, openWrite, openRead, write, read, close, segment, segment, segment};
    FUZZ_CHECK(ksample::startSession(f) == ksample::kOk);
  }
  ~Session() { ksample::stopSession(); }
};

void check(const std::string& bytes, ksample::Format format) {
  std::vector<ksample::BodyRecord> parsed;
  std::string error;
  const bool accepted = ksample::parseTransmit(bytes.data(), bytes.size(), format, parsed, error);
  FUZZ_CHECK(accepted == error.empty());
  if (accepted) {
    for (const ksample::BodyRecord& b : parsed) FUZZ_CHECK(ksample::isValidRecord(b));
    const std::string encoded = ksample::encodeTransmit(parsed, format);
    std::vector<ksample::BodyRecord> again;
    FUZZ_CHECK(ksample::parseTransmit(encoded.data(), encoded.size(), format, again, error));
    FUZZ_CHECK(again.size() == parsed.size());
    for (size_t i = 0; i < parsed.size(); ++i) FUZZ_CHECK(ksample::sameRecord(parsed[i], again[i]));
  } else {
    FUZZ_CHECK(parsed.empty());
  }

  gData = bytes;
  const int bodies = ksample::bodyCount();
  int count = -1;
  int* tags = nullptr;
  const int status = ksample::receive("", 0, format, count, tags);
  FUZZ_CHECK((status == ksample::kOk) == accepted);
  if (!accepted) {
    FUZZ_CHECK(status == ksample::kErrCorruptData && !ksample::lastError().empty());
    FUZZ_CHECK(count == 0 && tags == nullptr);
    FUZZ_CHECK(ksample::bodyCount() == bodies);
    return;
  }
  FUZZ_CHECK(count == static_cast<int>(parsed.size()));
  for (int i = 0; i < count; ++i) {
    ksample::BodyRecord record;
    FUZZ_CHECK(ksample::bodyRecord(tags[i], record));
    FUZZ_CHECK(ksample::sameRecord(record, parsed[static_cast<size_t>(i)]));
  }
  FUZZ_CHECK(ksample::deleteBodies(count, tags) == ksample::kOk);
  ksample::freeTags(tags);
  FUZZ_CHECK(ksample::bodyCount() == bodies);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Session session;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  check(bytes, ksample::Format::Binary);
  check(bytes, ksample::Format::Text);
  return 0;
}
