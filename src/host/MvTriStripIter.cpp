#include "host/MvHeap.h"
#include "host/MvShapes.h"

#include <cstring>
#include <new>

namespace {

// Walks the triangles of all strips of one tri-strip set, strip by strip.
// Triangle t of a strip starting at vertex b has the vertices b+t, b+t+1,
// b+t+2; for odd t the first two are swapped so that every triangle keeps
// the strip's orientation.
class TriStripIter final : public MvTriIter {
 public:
  // A shape's bindings are fixed when it is made, so they are read once.
  explicit TriStripIter(const MvTriStripSet* shape) : _shape(shape) {
    MvVertexShape::Binding normalBinding;
    MvVertexShape::Binding texCoordBinding;
    MvVertexShape::Binding colorBinding;
    shape->getBindings(normalBinding, texCoordBinding, colorBinding);
    _withNormals = normalBinding == MvVertexShape::MV_BIND_PER_VERTEX;
    _withTexCoords = texCoordBinding == MvVertexShape::MV_BIND_PER_VERTEX;
    _withColors = colorBinding == MvVertexShape::MV_BIND_PER_VERTEX;
  }

  // From the shared heap, so that the allocation-failure seam reaches it.
  static void* operator new(std::size_t bytes) noexcept { return MvHeap::allocate(bytes); }
  static void operator delete(void* p) noexcept { MvHeap::release(p); }

  void reset() override {
    _current = -1;
    _valid = false;
  }

  int size() const override { return _shape->triangleCount(); }

  const MvTriangle* next(int n) override {
    // 64-bit so that a large n cannot wrap; parked just outside the range.
    long long p = _current + n;
    if (p < -1) p = -1;
    if (p > size()) p = size();
    _current = p;
    _valid = p >= 0 && p < size();
    if (_valid) load(p);
    return get();
  }

  const MvTriangle* get() const override { return _valid ? &_record : nullptr; }

  const MvTriStripSet& shape() const { return *_shape; }

 private:
  // Vertex count of strip i (0 <= i < stripCount()).
  int stripLength(int i) const {
    const int end = i + 1 < _shape->stripCount() ? _shape->stripStart(i + 1) : _shape->vertexCount();
    return end - _shape->stripStart(i);
  }

  // Fills the record with triangle p (0 <= p < size()). Data that is not
  // bound is never written, so it keeps the zeros the record started with.
  void load(long long p) {
    if (p < _stripFirstTriangle) {
      _strip = 0;
      _stripFirstTriangle = 0;
    }
    for (int length = stripLength(_strip); p >= _stripFirstTriangle + length - 2; length = stripLength(_strip)) {
      _stripFirstTriangle += length - 2;
      ++_strip;
    }
    const int t = static_cast<int>(p - _stripFirstTriangle);
    const int b = _shape->stripStart(_strip) + t;
    const int corner[3] = {t % 2 ? b + 1 : b, t % 2 ? b : b + 1, b + 2};

    const float* const vertices = _shape->vertices();
    const float* const normals = _shape->normals();
    const float* const texCoords = _shape->texCoords();
    const float* const colors = _shape->colors();
    for (int c = 0; c < 3; ++c) {
      const std::size_t v = static_cast<std::size_t>(corner[c]);
      std::memcpy(_record.vertices[c], vertices + 3 * v, sizeof _record.vertices[c]);
      if (_withNormals) std::memcpy(_record.normals[c], normals + 3 * v, sizeof _record.normals[c]);
      if (_withTexCoords) std::memcpy(_record.texCoords[c], texCoords + 2 * v, sizeof _record.texCoords[c]);
      if (_withColors) std::memcpy(_record.colors[c], colors + 3 * v, sizeof _record.colors[c]);
    }
  }

  MvAutoPtr<const MvTriStripSet> _shape;
  bool _withNormals = false;
  bool _withTexCoords = false;
  bool _withColors = false;
  long long _current = -1;
  bool _valid = false;
  // The strip the last triangle came from and the index of its first triangle.
  int _strip = 0;
  long long _stripFirstTriangle = 0;
  MvTriangle _record{};
};

}  // namespace

MvAutoPtr<MvTriIter> MvTriStripSet::getTriIter() const {
  MvTriIter* it = new TriStripIter(this);
  if (!it) {
    MvErrorState::throwStdError("MvTriStripSet", "getTriIter", "Allocation failed: new MvTriIter",
                                MvErrorState::kAllocation);
  }
  return MvAutoPtr<MvTriIter>(it);
}

namespace {

// Triangles staged on the stack before they are appended, so that each
// array is appended to once per chunk.
constexpr int kChunkTriangles = 128;

// Copies `floats` floats of each corner's element of `from` into `to`.
inline float* copyCorners(float* to, const float* from, const int (&corner)[3], int floats) {
  for (int c = 0; c < 3; ++c) {
    std::memcpy(to, from + static_cast<std::size_t>(floats) * static_cast<std::size_t>(corner[c]),
                sizeof(float) * static_cast<std::size_t>(floats));
    to += floats;
  }
  return to;
}

// True when `array` is not bound or has room for `extra` more floats.
bool hasRoom(const MvVec<float>& array, bool bound, long long extra) {
  return !bound || array.length() + extra <= array.allocatedLength();
}

}  // namespace

bool MvTriStripSet::appendTrianglesDirect(MvTriIter& triIter) {
  TriStripIter* const it = dynamic_cast<TriStripIter*>(&triIter);
  if (!it) return false;
  const MvTriStripSet& src = it->shape();
  if (&src == this || src._normalBinding != _normalBinding || src._texCoordBinding != _texCoordBinding ||
      src._colorBinding != _colorBinding) {
    return false;
  }
  const bool withNormals = _normalBinding == MV_BIND_PER_VERTEX;
  const bool withTexCoords = _texCoordBinding == MV_BIND_PER_VERTEX;
  const bool withColors = _colorBinding == MV_BIND_PER_VERTEX;
  const long long n = src._triangles;
  if (!hasRoom(_vertices, true, 9 * n) || !hasRoom(_normals, withNormals, 9 * n) ||
      !hasRoom(_texCoords, withTexCoords, 6 * n) || !hasRoom(_colors, withColors, 9 * n) ||
      _stripStart.length() + n > _stripStart.allocatedLength()) {
    return false;
  }

  float vertices[9 * kChunkTriangles];
  float normals[9 * kChunkTriangles];
  float texCoords[6 * kChunkTriangles];
  float colors[9 * kChunkTriangles];
  int starts[kChunkTriangles];
  int staged = 0;
  // Within the room checked above, so none of these appends can fail.
  auto flush = [&] {
    _vertices.append(vertices, 9 * staged);
    if (withNormals) _normals.append(normals, 9 * staged);
    if (withTexCoords) _texCoords.append(texCoords, 6 * staged);
    if (withColors) _colors.append(colors, 9 * staged);
    _stripStart.append(starts, staged);
    staged = 0;
  };
  int nextVertex = vertexCount();
  const int strips = src.stripCount();
  for (int s = 0; s < strips; ++s) {
    const int b = src._stripStart[s];
    const int triangles = src.stripLength(s) - 2;
    for (int t = 0; t < triangles; ++t) {
      // Every second triangle is turned, as the iterator turns it.
      const int corner[3] = {t % 2 ? b + t + 1 : b + t, t % 2 ? b + t : b + t + 1, b + t + 2};
      copyCorners(vertices + 9 * staged, src._vertices.begin(), corner, 3);
      if (withNormals) copyCorners(normals + 9 * staged, src._normals.begin(), corner, 3);
      if (withTexCoords) copyCorners(texCoords + 6 * staged, src._texCoords.begin(), corner, 2);
      if (withColors) copyCorners(colors + 9 * staged, src._colors.begin(), corner, 3);
      starts[staged] = nextVertex;
      nextVertex += 3;
      if (++staged == kChunkTriangles) flush();
    }
  }
  flush();
  _triangles += static_cast<int>(n);
  triIter.reset();
  return true;
}
