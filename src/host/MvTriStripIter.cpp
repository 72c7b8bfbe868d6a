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
  explicit TriStripIter(const MvTriStripSet* shape) : _shape(shape) {}

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
  // Fills the record with triangle p (0 <= p < size()).
  void load(long long p) {
    if (p < _stripFirstTriangle) {
      _strip = 0;
      _stripFirstTriangle = 0;
    }
    while (p >= _stripFirstTriangle + _shape->stripLength(_strip) - 2) {
      _stripFirstTriangle += _shape->stripLength(_strip) - 2;
      ++_strip;
    }
    const int t = static_cast<int>(p - _stripFirstTriangle);
    const int b = _shape->stripStart(_strip) + t;
    const int corner[3] = {t % 2 ? b + 1 : b, t % 2 ? b : b + 1, b + 2};

    MvVertexShape::Binding normalBinding;
    MvVertexShape::Binding texCoordBinding;
    MvVertexShape::Binding colorBinding;
    _shape->getBindings(normalBinding, texCoordBinding, colorBinding);
    const bool withNormals = normalBinding == MvVertexShape::MV_BIND_PER_VERTEX;
    const bool withTexCoords = texCoordBinding == MvVertexShape::MV_BIND_PER_VERTEX;
    const bool withColors = colorBinding == MvVertexShape::MV_BIND_PER_VERTEX;

    // Unbound data reads as zeros.
    std::memset(&_record, 0, sizeof _record);
    for (int c = 0; c < 3; ++c) {
      const std::size_t v = static_cast<std::size_t>(corner[c]);
      std::memcpy(_record.vertices[c], _shape->vertices() + 3 * v, sizeof _record.vertices[c]);
      if (withNormals) std::memcpy(_record.normals[c], _shape->normals() + 3 * v, sizeof _record.normals[c]);
      if (withTexCoords) {
        std::memcpy(_record.texCoords[c], _shape->texCoords() + 2 * v, sizeof _record.texCoords[c]);
      }
      if (withColors) std::memcpy(_record.colors[c], _shape->colors() + 3 * v, sizeof _record.colors[c]);
    }
  }

  MvAutoPtr<const MvTriStripSet> _shape;
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
