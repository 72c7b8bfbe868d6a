#include "ksample/transmit_format.h"

#include <array>
#include <cstring>

#include "transmit_codec.h"

namespace ksample {
namespace {

constexpr std::array<unsigned, 256> makeCrcTable() {
  std::array<unsigned, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}

constexpr std::array<unsigned, 256> kCrcTable = makeCrcTable();

}  // namespace

unsigned crc32(const char* bytes, std::size_t n) {
  unsigned c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) {
    c = kCrcTable[(c ^ static_cast<unsigned char>(bytes[i])) & 0xFFu] ^ (c >> 8);
  }
  return c ^ 0xFFFFFFFFu;
}

std::string encodeTransmit(const std::vector<BodyRecord>& bodies, Format format) {
  std::string out;
  if (format == Format::Text) {
    detail::encodeText(bodies, out);
  } else {
    detail::encodeBinary(bodies, out);
  }
  return out;
}

bool parseTransmit(const char* bytes, std::size_t n, Format format, std::vector<BodyRecord>& bodies,
                   std::string& error) {
  bodies.clear();
  error.clear();
  if (bytes == nullptr && n != 0) {
    error = detail::kForeign;
    return false;
  }
  bool ok = false;
  if (format == Format::Text) {
    ok = detail::parseText(bytes, n, bodies, error);
  } else if (format == Format::Binary) {
    ok = detail::parseBinary(bytes, n, bodies, error);
  } else {
    error = "unknown transmit format";
  }
  if (!ok) bodies.clear();
  return ok;
}

namespace detail {

std::string badVersion(unsigned long long version) {
  return "unsupported transmit format version " + std::to_string(version);
}

std::string badCount(unsigned long long count) {
  return "body count " + std::to_string(count) + " is out of range";
}

std::string badRecord(std::size_t index, const char* problem) {
  return "body record " + std::to_string(index + 1) + ": " + problem;
}

bool isPrefixOf(const char* data, std::size_t n, const char* magic, std::size_t magicSize) {
  return n < magicSize && (n == 0 || std::memcmp(data, magic, n) == 0);
}

}  // namespace detail
}  // namespace ksample
