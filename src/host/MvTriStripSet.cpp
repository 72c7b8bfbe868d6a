#include "host/MvShapes.h"

#include <climits>
#include <cstring>

namespace {

constexpr long long kMaxFloats = INT_MAX / static_cast<long long>(sizeof(float));

void reportStrip(const char* operation, const char* condition, int code = MvErrorState::kCondition) {
  MvErrorState::throwStdError("MvTriStripSet", operation, condition, code);
}

// Makes room for more floats at the end of one of the shape's arrays. When
// the present block is too small, a new block of at least double the size
// is prepared beside it and swapped in only by commit(): until then the old
// block stays valid, so iterators over this shape's own arrays can still be
// read while the new data is filled in. Without commit() the array keeps
// its old length.
class FloatArrayGrowth {
 public:
  explicit FloatArrayGrowth(MvVec<float>& target) : _target(target), _oldLen(target.length()) {}
  ~FloatArrayGrowth() {
    if (!_committed && _inPlace) _target.setLength(_oldLen);
  }
  FloatArrayGrowth(const FloatArrayGrowth&) = delete;
  FloatArrayGrowth& operator=(const FloatArrayGrowth&) = delete;

  // Room for `extra` floats after the present ones; false (reported) when
  // it cannot be had.
  bool reserve(long long extra) {
    const long long need = _oldLen + extra;
    if (need > kMaxFloats) {
      reportStrip("addPrimitive", "Allocation failed: shape data within 2147483647 bytes",
                  MvErrorState::kAllocation);
      return false;
    }
    const int allocLen = _target.allocatedLength();
    if (need <= allocLen) {
      // No new storage: setLength within the block cannot fail.
      _target.setLength(static_cast<int>(need));
      _inPlace = true;
      _dst = _target.begin() + _oldLen;
      return true;
    }
    long long grown = 2LL * allocLen;
    if (grown < need) grown = need;
    if (grown > kMaxFloats) grown = kMaxFloats;
    MvVec<float> block(static_cast<int>(grown));
    if (block.allocatedLength() != grown) return false;
    block.append(_target);
    block.setLength(static_cast<int>(need));
    _grown.swap(block);
    _dst = _grown.begin() + _oldLen;
    return true;
  }

  float* dst() const { return _dst; }

  // Keeps the new data; the replaced block goes when this object does.
  void commit() {
    _committed = true;
    if (_grown.allocatedLength() > 0) _target.swap(_grown);
  }

 private:
  MvVec<float>& _target;
  const int _oldLen;
  MvVec<float> _grown;
  float* _dst = nullptr;
  bool _inPlace = false;
  bool _committed = false;
};

// Number of elements the iterator yields: reset, then next(1) up to size()
// times or until it yields null.
int countElements(MvShapeDataIter<float, 3>& it) {
  it.reset();
  const int n = it.size();
  int k = 0;
  while (k < n && it.next(1)) ++k;
  return k;
}

// Copies k elements of N floats from the iterator to dst; false when it
// yields fewer.
template <int N>
bool copyElements(MvShapeDataIter<float, N>& it, int k, float* dst) {
  it.reset();
  for (int i = 0; i < k; ++i) {
    const float* p = it.next(1);
    if (!p) return false;
    std::memcpy(dst + static_cast<std::size_t>(i) * N, p, sizeof(float) * N);
  }
  return true;
}

}  // namespace

MvTriStripSet::MvTriStripSet(Binding normalVecBinding, Binding texCoordBinding, Binding colorBinding)
    : _normalBinding(normalVecBinding), _texCoordBinding(texCoordBinding), _colorBinding(colorBinding) {}

unsigned MvTriStripSet::getBindings(Binding& normalVecBinding, Binding& texCoordBinding,
                                    Binding& colorBinding) const {
  normalVecBinding = _normalBinding;
  texCoordBinding = _texCoordBinding;
  colorBinding = _colorBinding;
  return 1;
}

int MvTriStripSet::stripLength(int i) const {
  if (i < 0 || i >= stripCount()) return 0;
  const int end = i + 1 < stripCount() ? _stripStart[i + 1] : vertexCount();
  return end - _stripStart[i];
}

unsigned MvTriStripSet::addPrimitive(MvShapeDataIter<float, 3>& vertices,
                                     MvShapeDataIter<float, 3>& normals,
                                     MvShapeDataIter<float, 2>& texCoords,
                                     MvShapeDataIter<float, 3>& colors, int) {
  const int firstVertex = vertexCount();
  const int k = countElements(vertices);
  if (k < 3) {
    reportStrip("addPrimitive", "vertex count >= 3");
    return 0;
  }
  const bool withNormals = _normalBinding == MV_BIND_PER_VERTEX;
  const bool withTexCoords = _texCoordBinding == MV_BIND_PER_VERTEX;
  const bool withColors = _colorBinding == MV_BIND_PER_VERTEX;

  // Room for everything first, then the data: until commit() every array
  // can go back to its old length, so a failure leaves the shape unchanged.
  FloatArrayGrowth vertexGrowth(_vertices);
  FloatArrayGrowth normalGrowth(_normals);
  FloatArrayGrowth texCoordGrowth(_texCoords);
  FloatArrayGrowth colorGrowth(_colors);
  if (!vertexGrowth.reserve(3LL * k) || (withNormals && !normalGrowth.reserve(3LL * k)) ||
      (withTexCoords && !texCoordGrowth.reserve(2LL * k)) ||
      (withColors && !colorGrowth.reserve(3LL * k))) {
    MvErrorState::rethrowError();
    return 0;
  }
  if (!copyElements<3>(vertices, k, vertexGrowth.dst())) {
    reportStrip("addPrimitive", "vertices.next(1) != NULL for every vertex");
    return 0;
  }
  if (withNormals && !copyElements<3>(normals, k, normalGrowth.dst())) {
    reportStrip("addPrimitive", "normals.next(1) != NULL for every vertex");
    return 0;
  }
  if (withTexCoords && !copyElements<2>(texCoords, k, texCoordGrowth.dst())) {
    reportStrip("addPrimitive", "texCoords.next(1) != NULL for every vertex");
    return 0;
  }
  if (withColors && !copyElements<3>(colors, k, colorGrowth.dst())) {
    reportStrip("addPrimitive", "colors.next(1) != NULL for every vertex");
    return 0;
  }
  if (!_stripStart.append(firstVertex)) {
    MvErrorState::rethrowError();
    return 0;
  }
  vertexGrowth.commit();
  normalGrowth.commit();
  texCoordGrowth.commit();
  colorGrowth.commit();
  _triangles += k - 2;
  return 1;
}

unsigned MvTriStripSet::addStrip(const float* vertices, const float* normals, const float* texCoords,
                                 const float* colors, int vertexCount) {
  // Keeps count x stride of the iterators below within 32 bits.
  if (vertexCount > kMaxFloats / 3) {
    reportStrip("addStrip", "Allocation failed: shape data within 2147483647 bytes",
                MvErrorState::kAllocation);
    return 0;
  }
  MvStrideIter<float, 3> vertexIter(vertices, vertexCount, 3, nullptr);
  MvStrideIter<float, 3> normalIter(normals, vertexCount, 3, nullptr);
  MvStrideIter<float, 2> texCoordIter(texCoords, vertexCount, 2, nullptr);
  MvStrideIter<float, 3> colorIter(colors, vertexCount, 3, nullptr);
  if (!addPrimitive(vertexIter, normalIter, texCoordIter, colorIter, 0)) {
    MvErrorState::rethrowError();
    return 0;
  }
  return 1;
}
