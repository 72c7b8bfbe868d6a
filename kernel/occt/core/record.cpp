#include "record.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <istream>
#include <ostream>
#include <streambuf>
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

// An output buffer that appends what OCCT writes to a string, so the shape
// data lands in the record without a copy out of a string stream. Its put
// area is the string's spare room, grown by doubling; finish() trims the
// string to what was written.
class AppendBuffer : public std::streambuf {
 public:
  explicit AppendBuffer(std::string& out) : _out(out), _start(out.size()) { room(_start + kFirstRoom); }
  void finish() { _out.resize(written()); }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    room(2 * _out.size());
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
  }
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override {
    // Only the position can be asked for (tellp); the data is never rewritten.
    if (off != 0 || dir != std::ios_base::cur || !(which & std::ios_base::out)) return pos_type(off_type(-1));
    return pos_type(static_cast<off_type>(written() - _start));
  }

 private:
  static constexpr std::size_t kFirstRoom = std::size_t(1) << 16;

  std::size_t written() const { return pptr() ? static_cast<std::size_t>(pptr() - _out.data()) : _out.size(); }
  // Makes the string `size` bytes long and the put area its part after what was written.
  void room(std::size_t size) {
    const std::size_t used = written();
    _out.resize(size);
    setp(&_out[0] + used, &_out[0] + size);
  }

  std::string& _out;
  const std::size_t _start;
};

// An input buffer over bytes the caller holds, read by OCCT in place.
class ViewBuffer : public std::streambuf {
 public:
  ViewBuffer(const char* p, std::size_t n) {
    char* begin = const_cast<char*>(p);  // the get area is only read
    setg(begin, begin, begin + n);
  }

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override {
    if (!(which & std::ios_base::in)) return pos_type(off_type(-1));
    const off_type base = dir == std::ios_base::beg   ? 0
                          : dir == std::ios_base::cur ? gptr() - eback()
                                                      : egptr() - eback();
    return seekpos(pos_type(base + off), which);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    const off_type at = off_type(pos);
    if (!(which & std::ios_base::in) || at < 0 || at > egptr() - eback()) return pos_type(off_type(-1));
    setg(eback(), eback() + at, egptr());
    return pos;
  }
};

// Appends the compound in the record's shape format to out.
void appendShapeData(const TopoDS_Shape& compound, Format format, std::string& out) {
  AppendBuffer buffer(out);
  std::ostream stream(&buffer);
  if (format == Format::Text) {
    BRepTools::Write(compound, stream, false, false, TopTools_FormatVersion_VERSION_3);
  } else {
    BinTools::Write(compound, stream, false, false, BinTools_FormatVersion_VERSION_4);
  }
  buffer.finish();
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
    ViewBuffer buffer(data.data(), data.size());
    std::istream in(&buffer);
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
  shapes.reserve(count);
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
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  std::uint64_t a = 0, b = 0;
  std::size_t left = n;
  while (left > 0) {
    for (std::size_t w = 0; w < kBlockWords && left > 0; ++w) {
      std::uint32_t word = 0;
      if (left >= 4) {
        word = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
        p += 4;
        left -= 4;
      } else {
        for (std::size_t k = 0; k < left; ++k) word |= static_cast<std::uint32_t>(p[k]) << (8 * k);
        left = 0;
      }
      a += word;
      b += a;
    }
    a %= kModulus;
    b %= kModulus;
  }
  return (b << 32) | a;
}

Record encodeRecord(const std::vector<const Part*>& parts, Format format) {
  Record record;
  std::string& body = record.body;
  BRep_Builder builder;
  TopoDS_Compound compound;
  builder.MakeCompound(compound);
  for (const Part* part : parts) {
    builder.Add(compound, part->shape);
    body += "PART " + std::to_string(part->name.size()) + " " + part->name + "\nCOLOUR";
    if (part->color.isSet()) {
      appendColor(body, part->color);
    } else {
      body += " none";
    }
    std::size_t colored = 0;
    for (const Rgba& c : part->faceColors) colored += c.isSet() ? 1 : 0;
    // A part's face colours, when it has any, are one per face.
    const int faces = part->faceColors.empty() ? faceCountOf(part->shape) : static_cast<int>(part->faceColors.size());
    body += "\nFACES " + std::to_string(faces) + " " + std::to_string(colored) + "\n";
    for (std::size_t i = 0; i < part->faceColors.size(); ++i) {
      if (!part->faceColors[i].isSet()) continue;
      body += std::to_string(i);
      appendColor(body, part->faceColors[i]);
      body += '\n';
    }
  }
  const std::size_t metaBytes = body.size();
  appendShapeData(compound, format, body);
  char sum[17];
  std::snprintf(sum, sizeof sum, "%016llx", static_cast<unsigned long long>(checksum(body.data(), body.size())));
  record.header = std::string(kRecordMagic) + " " + std::to_string(kRecordVersion) + " " + formatName(format) + " " +
                  std::to_string(parts.size()) + " " + std::to_string(metaBytes) + " " +
                  std::to_string(body.size() - metaBytes) + " " + sum + "\n";
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
    if (!validPart(p, faces, why)) {
      error = "part " + std::to_string(i + 1) + ": " + why;
      return false;
    }
  }
  parts = std::move(decoded);
  return true;
}

}  // namespace detail
}  // namespace kocct
