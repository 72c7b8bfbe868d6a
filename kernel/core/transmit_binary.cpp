// The binary form: a fixed header, fixed-size body records and a trailing
// CRC-32, every number little-endian whatever the machine.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ksample/transmit_format.h"
#include "record_problem.h"
#include "transmit_codec.h"

namespace ksample {
namespace detail {
namespace {

// magic, version, body count, record bytes
constexpr std::size_t kHeaderSize = kBinaryMagicSize + 12;
// kind, flags, face count, 3 sizes, 12 transform entries, body colour
constexpr std::size_t kRecordFixedSize = 1 + 1 + 2 + 3 * 8 + 12 * 8 + 4 * 4;
constexpr std::size_t kColorSize = 4 * 4;
constexpr std::size_t kCrcSize = 4;
constexpr unsigned kFlagBodyColor = 1;

void putUint(std::string& out, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFFu));
}

void putDouble(std::string& out, double v) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  putUint(out, bits, 8);
}

void putFloat(std::string& out, float v) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  putUint(out, bits, 4);
}

void putColor(std::string& out, const Rgba& c) {
  for (float v : c) putFloat(out, v);
}

std::uint64_t getUint(const char* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

double getDouble(const char* p) {
  const std::uint64_t bits = getUint(p, 8);
  double v = 0.0;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

float getFloat(const char* p) {
  const auto bits = static_cast<std::uint32_t>(getUint(p, 4));
  float v = 0.0f;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

Rgba getColor(const char* p) {
  return Rgba{getFloat(p), getFloat(p + 4), getFloat(p + 8), getFloat(p + 12)};
}

std::size_t recordSize(const BodyRecord& b) {
  return kRecordFixedSize + b.faceColors.size() * kColorSize;
}

// Decodes the record at p, of at most left bytes; false with error set.
bool getRecord(const char* p, std::size_t left, std::size_t index, BodyRecord& body,
               std::size_t& used, std::string& error) {
  if (left < kRecordFixedSize) {
    error = "body records do not match the declared length";
    return false;
  }
  const unsigned kind = static_cast<unsigned char>(p[0]);
  const unsigned flags = static_cast<unsigned char>(p[1]);
  const std::size_t faces = getUint(p + 2, 2);
  body.kind = static_cast<BodyKind>(kind);
  if (faceCountOf(body.kind) == 0) {
    error = badRecord(index, "unknown body type");
    return false;
  }
  if ((flags & ~kFlagBodyColor) != 0) {
    error = badRecord(index, "invalid flags");
    return false;
  }
  if (faces != static_cast<std::size_t>(faceCountOf(body.kind))) {
    error = badRecord(index, "face count mismatch");
    return false;
  }
  used = kRecordFixedSize + faces * kColorSize;
  if (left < used) {
    error = "body records do not match the declared length";
    return false;
  }
  for (int i = 0; i < 3; ++i) body.dims[i] = getDouble(p + 4 + 8 * i);
  for (int i = 0; i < 12; ++i) body.xf.m[i / 4][i % 4] = getDouble(p + 28 + 8 * i);
  body.hasBodyColor = (flags & kFlagBodyColor) != 0;
  body.bodyColor = getColor(p + 124);
  body.faceColors.resize(faces);
  for (std::size_t f = 0; f < faces; ++f)
    body.faceColors[f] = getColor(p + 140 + f * kColorSize);
  if (const char* problem = recordProblem(body)) {
    error = badRecord(index, problem);
    return false;
  }
  return true;
}

}  // namespace

void encodeBinary(const std::vector<BodyRecord>& bodies, std::string& out) {
  std::uint64_t payload = 0;
  for (const BodyRecord& b : bodies) payload += recordSize(b);
  out.assign(kBinaryMagic, kBinaryMagicSize);
  putUint(out, kTransmitFormatVersion, 4);
  putUint(out, bodies.size(), 4);
  putUint(out, payload, 4);
  for (const BodyRecord& b : bodies) {
    out.push_back(static_cast<char>(b.kind));
    out.push_back(static_cast<char>(b.hasBodyColor ? kFlagBodyColor : 0));
    putUint(out, b.faceColors.size(), 2);
    for (double d : b.dims) putDouble(out, d);
    for (const auto& row : b.xf.m) {
      for (double v : row) putDouble(out, v);
    }
    putColor(out, b.hasBodyColor ? b.bodyColor : kNoColor);
    for (const Rgba& c : b.faceColors) putColor(out, c);
  }
  putUint(out, crc32(out.data(), out.size()), 4);
}

bool parseBinary(const char* bytes, std::size_t n, std::vector<BodyRecord>& bodies,
                 std::string& error) {
  const std::size_t textMagic = 8;
  if (n >= textMagic && std::memcmp(bytes, kTextMagic, textMagic) == 0) {
    error = "transmit data is text, binary expected";
    return false;
  }
  if (n < kBinaryMagicSize || std::memcmp(bytes, kBinaryMagic, kBinaryMagicSize) != 0) {
    error = isPrefixOf(bytes, n, kBinaryMagic, kBinaryMagicSize) ? kTruncated : kForeign;
    return false;
  }
  if (n < kBinaryMagicSize + 4) {
    error = kTruncated;
    return false;
  }
  const std::uint64_t version = getUint(bytes + kBinaryMagicSize, 4);
  if (version != kTransmitFormatVersion) {
    error = badVersion(version);
    return false;
  }
  if (n < kHeaderSize) {
    error = kTruncated;
    return false;
  }
  const std::uint64_t count = getUint(bytes + kBinaryMagicSize + 4, 4);
  const std::uint64_t payload = getUint(bytes + kBinaryMagicSize + 8, 4);
  if (count > kMaxTransmitBodies) {
    error = badCount(count);
    return false;
  }
  // All sizes are below 2^33 here, so the sum cannot wrap.
  const std::uint64_t total = kHeaderSize + payload + kCrcSize;
  if (n < total) {
    error = kTruncated;
    return false;
  }
  if (n > total) {
    error = kTrailing;
    return false;
  }
  const std::size_t content = kHeaderSize + static_cast<std::size_t>(payload);
  if (crc32(bytes, content) != getUint(bytes + content, 4)) {
    error = kChecksum;
    return false;
  }
  // Every record takes at least kRecordFixedSize bytes of the checked payload.
  if (count > payload / kRecordFixedSize) {
    error = badCount(count);
    return false;
  }
  bodies.reserve(static_cast<std::size_t>(count));
  std::size_t at = kHeaderSize;
  for (std::size_t i = 0; i < count; ++i) {
    BodyRecord record;
    std::size_t used = 0;
    if (!getRecord(bytes + at, content - at, i, record, used, error)) return false;
    at += used;
    bodies.push_back(std::move(record));
  }
  if (at != content) {
    error = "body records do not match the declared length";
    return false;
  }
  return true;
}

}  // namespace detail
}  // namespace ksample
