// Opening an arbitrary file for reading with the header skip, then reading
// it to its end. A model of the skip says which bytes the kernel must get:
// the file is read in lines of at most 287 characters; a first line that is
// not the first banner line means there is no header (everything is
// delivered), otherwise everything after the end-of-header line is; a file
// that ends first makes the open fail with status 4.
#include "frustrum/MvFrustrum.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr int kGuise = MV_GUISE_TRANSMIT;
constexpr int kFormat = MV_FORMAT_TEXT;
constexpr size_t kLinePiece = 287;
const char kEndMark[] = "**END_OF_HEADER";

// The first line of every header, as the frustrum writes it.
std::string bannerLine() {
  const std::string key = fuzzing::scratchDir() + "/banner";
  const int keyLength = static_cast<int>(key.size());
  const int headerLength = 0;
  int id = -1;
  int ifail = -1;
  openWriteFrustrumFile(&kGuise, &kFormat, key.c_str(), &keyLength, "", &headerLength, &id, &ifail);
  FUZZ_CHECK(ifail == MV_FR_OK);
  const int keep = 1;
  closeFrustrumFile(&kGuise, &id, &keep, &ifail);
  FUZZ_CHECK(ifail == MV_FR_OK);
  std::FILE* f = std::fopen((key + ".x_t").c_str(), "rb");
  FUZZ_CHECK(f != nullptr);
  char line[512] = {};
  FUZZ_CHECK(std::fgets(line, sizeof line, f) != nullptr);
  std::fclose(f);
  return line;
}

// Whether the C string at the start of `piece` begins with `prefix`.
bool startsWith(const std::string& piece, const std::string& prefix) {
  const std::string text(piece.c_str());
  return text.compare(0, prefix.size(), prefix) == 0 && text.size() >= prefix.size();
}

// What the skip leaves to be read; false when the file ends inside the header.
bool afterHeader(const std::string& data, const std::string& banner, std::string& rest) {
  size_t pos = 0;
  for (bool first = true;; first = false) {
    if (pos >= data.size()) return false;
    const size_t newline = data.find('\n', pos);
    const size_t lineEnd = newline == std::string::npos ? data.size() : newline + 1;
    const size_t end = std::min(lineEnd, pos + kLinePiece);
    const std::string piece = data.substr(pos, end - pos);
    pos = end;
    if (startsWith(piece, kEndMark)) {
      rest = data.substr(pos);
      return true;
    }
    if (first && !startsWith(piece, banner)) {
      rest = data;
      return true;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string banner = bannerLine();
  static const std::string key = fuzzing::scratchDir() + "/input";
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  fuzzing::writeFile(key + ".x_t", data, size);

  const int keyLength = static_cast<int>(key.size());
  const int skip = 1;
  int id = -1;
  int ifail = -1;
  openReadFrustrumFile(&kGuise, &kFormat, key.c_str(), &keyLength, &skip, &id, &ifail);
  std::string expected;
  if (!afterHeader(bytes, banner, expected)) {
    FUZZ_CHECK(ifail == MV_FR_END_OF_DATA);
    FUZZ_CHECK(id == -1);
    FUZZ_CHECK(mvFrustrumOpenStreamCount() == 0);
    return 0;
  }
  FUZZ_CHECK(ifail == MV_FR_OK);
  FUZZ_CHECK(id >= 1 && id <= 32);
  std::string got;
  char block[97];
  for (;;) {
    const int max = sizeof block;
    int delivered = -1;
    readFromFrustrumFile(&kGuise, &id, &max, block, &delivered, &ifail);
    if (ifail == MV_FR_END_OF_DATA) {
      FUZZ_CHECK(delivered == 0);
      break;
    }
    FUZZ_CHECK(ifail == MV_FR_OK);
    FUZZ_CHECK(delivered >= 1 && delivered <= max);
    got.append(block, static_cast<size_t>(delivered));
  }
  FUZZ_CHECK(got == expected);
  const int keep = 1;
  closeFrustrumFile(&kGuise, &id, &keep, &ifail);
  FUZZ_CHECK(ifail == MV_FR_OK);
  FUZZ_CHECK(mvFrustrumOpenStreamCount() == 0);
  return 0;
}
