#include "record.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string_view>

#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <BinTools.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Iterator.hxx>

#include "internal.h"

namespace kocct {
namespace detail {
namespace {

const char* formatName(Format format) { return format == Format::Text ? "text" : "binary"; }

void appendNumber(std::string& out, float v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void appendColor(std::string& out, const Rgba& c) {
  for (float v : {c.r, c.g, c.b, c.a}) {
    out += ' ';
    appendNumber(out, v);
  }
}

std::string shapeData(const TopoDS_Shape& compound, Format format) {
  std::ostringstream out(std::ios::binary);
  if (format == Format::Text) {
    BRepTools::Write(compound, out, false, false, TopTools_FormatVersion_VERSION_3);
  } else {
    BinTools::Write(compound, out, false, false, BinTools_FormatVersion_VERSION_4);
  }
  return std::move(out).str();
}

// Reads a record piece by piece; every read checks what is left.
class Cursor {
 public:
  Cursor(const char* p, std::size_t n) : _p(p), _end(p + n) {}
  bool atEnd() const { return _p == _end; }

  // The next token up to (not including) a space or a line feed, which stays.
  bool token(std::string_view& t) {
    const char* start = _p;
    while (_p != _end && *_p != ' ' && *_p != '\n') ++_p;
    t = std::string_view(start, static_cast<std::size_t>(_p - start));
    return !t.empty();
  }
  bool literal(char c) {
    if (_p == _end || *_p != c) return false;
    ++_p;
    return true;
  }
  bool word(std::string_view w) {
    std::string_view t;
    return token(t) && t == w;
  }
  template <class T>
  bool number(T& v) {
    std::string_view t;
    if (!token(t)) return false;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    return r.ec == std::errc() && r.ptr == t.data() + t.size();
  }
  bool bytes(std::size_t n, std::string_view& out) {
    if (static_cast<std::size_t>(_end - _p) < n) return false;
    out = std::string_view(_p, n);
    _p += n;
    return true;
  }
  std::size_t offset(const char* base) const { return static_cast<std::size_t>(_p - base); }

 private:
  const char* _p;
  const char* _end;
};

bool readColor(Cursor& c, Rgba& out) {
  float v[4];
  for (float& x : v) {
    if (!c.literal(' ') || !c.number(x) || !(x >= 0.0f && x <= 1.0f)) return false;
  }
  out = Rgba{v[0], v[1], v[2], v[3]};
  return true;
}

struct PartMeta {
  std::string name;
  Rgba color;
  unsigned faces = 0;
  std::vector<Rgba> faceColors;
};

// PART <length> <name>\nCOLOUR none|r g b a\nFACES <n> <k>\n then k lines
// "<index> r g b a".
bool readMeta(Cursor& c, PartMeta& m, std::string& error) {
  std::size_t length = 0;
  std::string_view name;
  if (!c.word("PART") || !c.literal(' ') || !c.number(length) || length > kMaxNameBytes || !c.literal(' ') ||
      !c.bytes(length, name) || !c.literal('\n')) {
    error = "bad PART line";
    return false;
  }
  m.name.assign(name.data(), name.size());
  if (!c.word("COLOUR")) {
    error = "bad COLOUR line";
    return false;
  }
  if (c.literal('\n')) {
    error = "bad COLOUR line";
    return false;
  }
  std::string_view none;
  Cursor probe = c;
  if (probe.literal(' ') && probe.token(none) && none == "none") {
    c = probe;
  } else if (!readColor(c, m.color)) {
    error = "bad COLOUR line";
    return false;
  }
  unsigned colored = 0;
  if (!c.literal('\n') || !c.word("FACES") || !c.literal(' ') || !c.number(m.faces) || !c.literal(' ') ||
      !c.number(colored) || !c.literal('\n') || m.faces == 0 || colored > m.faces) {
    error = "bad FACES line";
    return false;
  }
  if (colored > 0) m.faceColors.assign(m.faces, Rgba());
  for (unsigned i = 0; i < colored; ++i) {
    unsigned index = 0;
    Rgba color;
    if (!c.number(index) || index >= m.faces || !readColor(c, color) || !c.literal('\n') ||
        m.faceColors[index].isSet()) {
      error = "bad face colour line";
      return false;
    }
    m.faceColors[index] = color;
  }
  return true;
}

// The shapes of the compound, in order, or false when the data is no
// compound of `count` shapes.
bool readShapes(std::string_view data, Format format, std::size_t count, std::vector<TopoDS_Shape>& shapes,
                std::string& error) {
  TopoDS_Shape compound;
  try {
    std::istringstream in(std::string(data), std::ios::binary);
    if (format == Format::Text) {
      BRep_Builder builder;
      BRepTools::Read(compound, in, builder);
    } else {
      BinTools::Read(compound, in);
    }
  } catch (const Standard_Failure& e) {
    error = std::string("bad shape data: ") + e.GetMessageString();
    return false;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    error = std::string("bad shape data: ") + e.what();
    return false;
  }
  if (compound.IsNull() || compound.ShapeType() != TopAbs_COMPOUND) {
    error = "bad shape data: no compound";
    return false;
  }
  for (TopoDS_Iterator it(compound); it.More(); it.Next()) {
    if (shapes.size() == count) break;
    shapes.push_back(it.Value());
  }
  if (shapes.size() != count || compound.NbChildren() != static_cast<int>(count)) {
    error = "shape data holds " + std::to_string(compound.NbChildren()) + " shapes, the record names " +
            std::to_string(count);
    return false;
  }
  return true;
}

}  // namespace

std::uint64_t checksum(const char* bytes, std::size_t n) {
  constexpr std::uint64_t kModulus = 0xFFFFFFFFu;
  constexpr std::size_t kBlockWords = 1024;  // sums stay below 2^54 between reductions
  std::uint64_t a = 0, b = 0;
  const std::size_t words = (n + 3) / 4;
  std::size_t word = 0;
  while (word < words) {
    const std::size_t blockEnd = std::min(words, word + kBlockWords);
    for (; word < blockEnd; ++word) {
      const std::size_t at = word * 4;
      std::uint32_t w = 0;
      const std::size_t take = std::min<std::size_t>(4, n - at);
      for (std::size_t k = 0; k < take; ++k)
        w |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + k])) << (8 * k);
      a += w;
      b += a;
    }
    a %= kModulus;
    b %= kModulus;
  }
  return (b << 32) | a;
}

std::string encodeRecord(const std::vector<const Part*>& parts, Format format) {
  std::string meta;
  BRep_Builder builder;
  TopoDS_Compound compound;
  builder.MakeCompound(compound);
  for (const Part* part : parts) {
    builder.Add(compound, part->shape);
    meta += "PART " + std::to_string(part->name.size()) + " " + part->name + "\nCOLOUR";
    if (part->color.isSet()) {
      appendColor(meta, part->color);
    } else {
      meta += " none";
    }
    std::size_t colored = 0;
    for (const Rgba& c : part->faceColors) colored += c.isSet() ? 1 : 0;
    meta += "\nFACES " + std::to_string(faceCountOf(part->shape)) + " " + std::to_string(colored) + "\n";
    for (std::size_t i = 0; i < part->faceColors.size(); ++i) {
      if (!part->faceColors[i].isSet()) continue;
      meta += std::to_string(i);
      appendColor(meta, part->faceColors[i]);
      meta += '\n';
    }
  }
  const std::string shapes = shapeData(compound, format);
  std::string body = meta + shapes;
  char sum[17];
  std::snprintf(sum, sizeof sum, "%016llx", static_cast<unsigned long long>(checksum(body.data(), body.size())));
  std::string record = std::string(kRecordMagic) + " " + std::to_string(kRecordVersion) + " " + formatName(format) +
                       " " + std::to_string(parts.size()) + " " + std::to_string(meta.size()) + " " +
                       std::to_string(shapes.size()) + " " + sum + "\n";
  record += body;
  return record;
}

bool decodeRecord(const char* bytes, std::size_t n, Format format, std::vector<Part>& parts, std::string& error) {
  parts.clear();
  Cursor c(bytes, n);
  unsigned version = 0, count = 0;
  std::size_t metaBytes = 0, shapeBytes = 0;
  std::string_view stored;
  if (!c.word(kRecordMagic) || !c.literal(' ')) {
    error = "not an OCCT parts record";
    return false;
  }
  if (!c.number(version) || !c.literal(' ')) {
    error = "bad record header";
    return false;
  }
  if (version != kRecordVersion) {
    error = "record version " + std::to_string(version) + " is not supported";
    return false;
  }
  if (!c.word(formatName(format)) || !c.literal(' ')) {
    error = std::string("the record is not in ") + formatName(format) + " format";
    return false;
  }
  if (!c.number(count) || !c.literal(' ') || !c.number(metaBytes) || !c.literal(' ') || !c.number(shapeBytes) ||
      !c.literal(' ') || !c.token(stored) || stored.size() != 16 || !c.literal('\n')) {
    error = "bad record header";
    return false;
  }
  if (count > kMaxRecordParts) {
    error = "the record names " + std::to_string(count) + " parts, more than " + std::to_string(kMaxRecordParts);
    return false;
  }
  const std::size_t headerBytes = c.offset(bytes);
  if (metaBytes > n || shapeBytes > n || headerBytes + metaBytes + shapeBytes != n) {
    error = "record length does not match its header";
    return false;
  }
  std::uint64_t expected = 0;
  const auto r = std::from_chars(stored.data(), stored.data() + stored.size(), expected, 16);
  if (r.ec != std::errc() || r.ptr != stored.data() + stored.size() ||
      checksum(bytes + headerBytes, n - headerBytes) != expected) {
    error = "checksum mismatch";
    return false;
  }
  Cursor meta(bytes + headerBytes, metaBytes);
  std::vector<PartMeta> metas(count);
  for (unsigned i = 0; i < count; ++i) {
    if (!readMeta(meta, metas[i], error)) {
      error = "part " + std::to_string(i + 1) + ": " + error;
      return false;
    }
  }
  if (!meta.atEnd()) {
    error = "unexpected data after the part list";
    return false;
  }
  std::vector<TopoDS_Shape> shapes;
  if (count > 0 && !readShapes(std::string_view(bytes + headerBytes + metaBytes, shapeBytes), format, count, shapes,
                               error)) {
    return false;
  }
  std::vector<Part> decoded(count);
  for (unsigned i = 0; i < count; ++i) {
    Part& p = decoded[i];
    p.shape = shapes[i];
    p.name = std::move(metas[i].name);
    p.color = metas[i].color;
    p.faceColors = std::move(metas[i].faceColors);
    const int faces = faceCountOf(p.shape);
    if (faces != static_cast<int>(metas[i].faces)) {
      error = "part " + std::to_string(i + 1) + " has " + std::to_string(faces) + " faces, the record names " +
              std::to_string(metas[i].faces);
      return false;
    }
    std::string why;
    if (!validPart(p, why)) {
      error = "part " + std::to_string(i + 1) + ": " + why;
      return false;
    }
  }
  parts = std::move(decoded);
  return true;
}

}  // namespace detail
}  // namespace kocct
