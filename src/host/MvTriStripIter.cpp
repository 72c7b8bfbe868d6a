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
