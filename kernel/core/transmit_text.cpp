// The text form: one record per line, tokens separated by single spaces,
// numbers in their shortest exact decimal form, '\n' line ends.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ksample/transmit_format.h"
#include "record_problem.h"
#include "transmit_codec.h"

namespace ksample {
namespace detail {
namespace {

constexpr const char* kKindNames[] = {nullptr, "box", "cylinder", "sphere"};

template <class T>
void appendNumber(std::string& out, T value) {
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.push_back(' ');
  out.append(buffer, r.ptr);
}

void appendColor(std::string& out, const Rgba& c) {
  if (c[3] < 0.0f) {
    out += " none";
    return;
  }
  for (float v : c) appendNumber(out, v);
}

// Splits the data into '\n'-terminated lines, each into tokens.
class LineReader {
 public:
  LineReader(const char* bytes, std::size_t n) : data_(bytes, n) {}

  // Reads the next line's tokens; false when no complete line is left or
  // the line has an empty token (two spaces, a leading or trailing space).
  bool next(std::vector<std::string_view>& tokens) {
    ++line_;
    tokens.clear();
    const std::size_t end = data_.find('\n', pos_);
    if (end == std::string_view::npos) return false;
    std::string_view line = data_.substr(pos_, end - pos_);
    pos_ = end + 1;
    for (;;) {
      const std::size_t space = line.find(' ');
      tokens.push_back(line.substr(0, space));
      if (tokens.back().empty()) return false;
      if (space == std::string_view::npos) return true;
      line.remove_prefix(space + 1);
    }
  }
  std::size_t line() const { return line_; }

 private:
  std::string_view data_;
  std::size_t pos_ = 0;
  std::size_t line_ = 0;
};

template <class T>
bool parseNumber(std::string_view token, T& value) {
  const auto r = std::from_chars(token.data(), token.data() + token.size(), value);
  return r.ec == std::errc() && r.ptr == token.data() + token.size() && std::isfinite(value);
}

bool parseCount(std::string_view token, unsigned long long& value) {
  const auto r = std::from_chars(token.data(), token.data() + token.size(), value);
  return r.ec == std::errc() && r.ptr == token.data() + token.size();
}

// tokens[first..] hold "none" or four numbers.
bool parseColor(const std::vector<std::string_view>& tokens, std::size_t first, Rgba& c) {
  if (tokens.size() == first + 1 && tokens[first] == "none") {
    c = kNoColor;
    return true;
  }
  if (tokens.size() != first + 4) return false;
  for (std::size_t i = 0; i < 4; ++i) {
    if (!parseNumber(tokens[first + i], c[i])) return false;
  }
  return true;
}

bool isKeyword(const std::vector<std::string_view>& tokens, const char* keyword, std::size_t size) {
  return tokens.size() == size && tokens[0] == keyword;
}

// Parses one body's lines; false with error set.
bool parseBody(LineReader& reader, std::size_t index, BodyRecord& body, std::string& error) {
  std::vector<std::string_view> t;
  auto malformed = [&]() {
    error = "malformed transmit data at line " + std::to_string(reader.line());
    return false;
  };
  unsigned long long number = 0;
  if (!reader.next(t) || t.size() < 3 || t[0] != "BODY" || !parseCount(t[1], number) ||
      number != index + 1) {
    return malformed();
  }
  int kind = 0;
  for (int k = 1; k <= 3; ++k) {
    if (t[2] == kKindNames[k]) kind = k;
  }
  if (kind == 0) {
    error = badRecord(index, "unknown body type");
    return false;
  }
  body.kind = static_cast<BodyKind>(kind);
  const std::size_t dims = static_cast<std::size_t>(dimensionCountOf(body.kind));
  if (t.size() != 3 + dims) return malformed();
  for (std::size_t i = 0; i < dims; ++i) {
    if (!parseNumber(t[3 + i], body.dims[i])) return malformed();
  }
  if (!reader.next(t) || !isKeyword(t, "XFORM", 13)) return malformed();
  for (std::size_t i = 0; i < 12; ++i) {
    if (!parseNumber(t[1 + i], body.xf.m[i / 4][i % 4])) return malformed();
  }
  if (!reader.next(t) || t[0] != "COLOUR" || !parseColor(t, 1, body.bodyColor)) {
    return malformed();
  }
  body.hasBodyColor = !(body.bodyColor[3] < 0.0f);
  body.faceColors.assign(static_cast<std::size_t>(faceCountOf(body.kind)), kNoColor);
  for (std::size_t f = 0; f < body.faceColors.size(); ++f) {
    if (!reader.next(t) || t.size() < 3 || t[0] != "FACE" || !parseCount(t[1], number) ||
        number != f || !parseColor(t, 2, body.faceColors[f])) {
      return malformed();
    }
  }
  if (const char* problem = recordProblem(body)) {
    error = badRecord(index, problem);
    return false;
  }
  return true;
}

// Checks the checksum line that ends the data; on success content is the
// length of the checksummed part.
bool checkChecksum(const char* bytes, std::size_t n, std::size_t& content, std::string& error) {
  const std::string_view data(bytes, n);
  const std::size_t at = data.find("\nCHECKSUM ");
  if (at == std::string_view::npos) {
    error = kTruncated;
    return false;
  }
  content = at + 1;
  const std::size_t digits = content + std::strlen("CHECKSUM ");
  if (n < digits + 9) {
    error = kTruncated;
    return false;
  }
  unsigned value = 0;
  const auto r = std::from_chars(bytes + digits, bytes + digits + 8, value, 16);
  const bool lowerHex = std::all_of(bytes + digits, bytes + digits + 8, [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
  });
  if (r.ptr != bytes + digits + 8 || !lowerHex || bytes[digits + 8] != '\n') {
    error = kChecksum;
    return false;
  }
  if (n > digits + 9) {
    error = kTrailing;
    return false;
  }
  if (crc32(bytes, content) != value) {
    error = kChecksum;
    return false;
  }
  return true;
}

}  // namespace

void encodeText(const std::vector<BodyRecord>& bodies, std::string& out) {
  out = kTextMagic;
  out += "VERSION " + std::to_string(kTransmitFormatVersion) + "\n";
  out += "BODIES " + std::to_string(bodies.size()) + "\n";
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    const BodyRecord& b = bodies[i];
    const int kind = static_cast<int>(b.kind);
    out += "BODY " + std::to_string(i + 1) + " ";
    out += kind >= 1 && kind <= 3 ? kKindNames[kind] : "unknown";
    for (int d = 0; d < dimensionCountOf(b.kind); ++d) appendNumber(out, b.dims[d]);
    out += "\nXFORM";
    for (const auto& row : b.xf.m) {
      for (double v : row) appendNumber(out, v);
    }
    out += "\nCOLOUR";
    appendColor(out, b.hasBodyColor ? b.bodyColor : kNoColor);
    out += "\n";
    for (std::size_t f = 0; f < b.faceColors.size(); ++f) {
      out += "FACE " + std::to_string(f);
      appendColor(out, b.faceColors[f]);
      out += "\n";
    }
  }
  out += "END\n";
  char line[32];
  std::snprintf(line, sizeof line, "CHECKSUM %08x\n", crc32(out.data(), out.size()));
  out += line;
}

bool parseText(const char* bytes, std::size_t n, std::vector<BodyRecord>& bodies,
               std::string& error) {
  const std::size_t magicSize = std::strlen(kTextMagic);
  if (n >= kBinaryMagicSize && std::memcmp(bytes, kBinaryMagic, kBinaryMagicSize) == 0) {
    error = "transmit data is binary, text expected";
    return false;
  }
  if (n < magicSize || std::memcmp(bytes, kTextMagic, magicSize) != 0) {
    error = isPrefixOf(bytes, n, kTextMagic, magicSize) ? kTruncated : kForeign;
    return false;
  }
  LineReader reader(bytes, n);
  std::vector<std::string_view> t;
  reader.next(t);
  unsigned long long number = 0;
  if (!reader.next(t)) {
    error = kTruncated;
    return false;
  }
  if (!isKeyword(t, "VERSION", 2) || !parseCount(t[1], number)) {
    error = "malformed transmit data at line 2";
    return false;
  }
  if (number != kTransmitFormatVersion) {
    error = badVersion(number);
    return false;
  }
  std::size_t content = 0;
  if (!checkChecksum(bytes, n, content, error)) return false;

  LineReader body(bytes, content);
  body.next(t);
  body.next(t);
  if (!body.next(t) || !isKeyword(t, "BODIES", 2) || !parseCount(t[1], number)) {
    error = "malformed transmit data at line 3";
    return false;
  }
  if (number > kMaxTransmitBodies) {
    error = badCount(number);
    return false;
  }
  for (std::size_t i = 0; i < number; ++i) {
    BodyRecord record;
    if (!parseBody(body, i, record, error)) return false;
    bodies.push_back(std::move(record));
  }
  if (!body.next(t) || !isKeyword(t, "END", 1) || body.next(t)) {
    error = "malformed transmit data at line " + std::to_string(body.line());
    return false;
  }
  return true;
}

}  // namespace detail
}  // namespace ksample
