// Opening an arbitrary file for reading with the header skip, then reading it to its end. A model of the skip says
// which bytes the kernel must get: the file is read in lines of at most 287 characters; a first line that is not
// the first banner line means there is no header (everything is delivered), otherwise everything after the
// end-of-header line is; a file that ends first makes the open fail with status 4.
#include "frustrum/MvFrustrum.h"
#include "fuzz_check.h"

#include <algorithm>

namespace {

constexpr int kGuise = MV_GUISE_TRANSMIT;
constexpr int kFormat = MV_FORMAT_TEXT;
constexpr int kKeep = 1;

// The first line of every header, as the frustrum writes it (the unit tests check the whole header byte for byte).
const std::string kBanner = "**ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz" + std::string(26, '*') + "\n";

// Whether the C string at the start of `piece` begins with `prefix`.
bool startsWith(const std::string& piece, const std::string& prefix) {
  return std::string(piece.c_str()).rfind(prefix, 0) == 0;
}

// What the skip leaves to be read; false when the file ends inside the header.
bool afterHeader(const std::string& data, const std::string& banner, std::string& rest) {
  for (size_t pos = 0; pos < data.size();) {
    const size_t lineEnd = std::min(data.find('\n', pos), data.size() - 1) + 1;
    const std::string piece = data.substr(pos, std::min<size_t>(lineEnd - pos, 287));
    const bool first = pos == 0;
    pos += piece.size();
    const bool endOfHeader = startsWith(piece, "**END_OF_HEADER");
    if (endOfHeader || (first && !startsWith(piece, banner))) {
      rest = endOfHeader ? data.substr(pos) : data;
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string key = fuzzing::scratchDir() + "/input";
  fuzzing::writeFile(key + ".x_t", data, size);
  const int keyLength = static_cast<int>(key.size());
  const int skip = 1;
  int id = -1;
  int ifail = -1;
  openReadFrustrumFile(&kGuise, &kFormat, key.c_str(), &keyLength, &skip, &id, &ifail);
  std::string expected;
  if (!afterHeader(std::string(reinterpret_cast<const char*>(data), size), kBanner, expected)) {
    FUZZ_CHECK(ifail == MV_FR_END_OF_DATA && id == -1 && mvFrustrumOpenStreamCount() == 0);
    return 0;
  }
  FUZZ_CHECK(ifail == MV_FR_OK && id >= 1 && id <= 32);
  std::string got;
  char block[97];
  const int max = sizeof block;
  for (;;) {
    int delivered = -1;
    readFromFrustrumFile(&kGuise, &id, &max, block, &delivered, &ifail);
    if (ifail == MV_FR_END_OF_DATA && delivered == 0) break;
    FUZZ_CHECK(ifail == MV_FR_OK && delivered >= 1 && delivered <= max);
    got.append(block, static_cast<size_t>(delivered));
  }
  FUZZ_CHECK(got == expected);
  closeFrustrumFile(&kGuise, &id, &kKeep, &ifail);
  FUZZ_CHECK(ifail == MV_FR_OK && mvFrustrumOpenStreamCount() == 0);
  return 0;
}
