// The sample kernel's parse and receive of arbitrary transmit data, in both formats. What parseTransmit accepts is
// valid, encodes and parses back to equal records; a receive through an in-memory frustrum serving the same bytes
// creates exactly those bodies, or none when the data is refused.
#include "fuzz_check.h"
#include "ksample/kernel.h"

#include <vector>

namespace {

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

  memfrustrum::state().files[format == ksample::Format::Text ? ".x_t" : ".x_b"] = bytes;
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
  fuzzing::startSession<ksample::startSession, ksample::stopSession>();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  check(bytes, ksample::Format::Binary);
  check(bytes, ksample::Format::Text);
  return 0;
}
