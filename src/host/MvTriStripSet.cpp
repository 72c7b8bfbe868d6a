#include "host/MvShapes.h"

#include <atomic>
#include <climits>
#include <typeinfo>

namespace {

constexpr long long kMaxFloats = INT_MAX / static_cast<long long>(sizeof(float));

void reportStrip(const char* operation, const char* condition, int code = MvErrorState::kCondition) {
  MvErrorState::throwStdError("MvTriStripSet", operation, condition, code);
}

// Makes room for more floats at the end of one of the shape's arrays; the
// floats are then appended to dest(). When the present block is too small,
// a new block of at least double the size is prepared beside it and swapped
// in only by commit(): until then the old block stays valid, so iterators
// over this shape's own arrays can still be read while the new data is
// filled in. Without commit() the array keeps its old length.
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
    if (need <= _target.allocatedLength()) {
      // Appending within the block never reallocates, so it cannot fail.
      _inPlace = true;
      return true;
    }
    return grow(need);
  }

  // Where the reserved floats go: appended within the room reserve() made.
  MvVec<float>& dest() { return _inPlace ? _target : _grown; }

  // Keeps the new data; the replaced block goes when this object does.
  void commit() {
    _committed = true;
    if (_grown.allocatedLength() > 0) _target.swap(_grown);
  }

 private:
  // Prepares the new block for `need` floats beside the present one.
  bool grow(long long need) {
    if (need > kMaxFloats) {
      reportStrip("addPrimitive", "Allocation failed: shape data within 2147483647 bytes",
                  MvErrorState::kAllocation);
      return false;
    }
    const int allocLen = _target.allocatedLength();
    long long grown = 2LL * allocLen;
    if (grown < need) grown = need;
    if (grown > kMaxFloats) grown = kMaxFloats;
    MvVec<float> block(static_cast<int>(grown));
    if (block.allocatedLength() != grown) return false;
    block.append(_target);
    _grown.swap(block);
    return true;
  }

  MvVec<float>& _target;
  const int _oldLen;
  MvVec<float> _grown;
  bool _inPlace = false;
  bool _committed = false;
};

// Gives the array room for n elements in all; false (reported) when it
// cannot be had.
template <class T>
bool reserveElements(MvVec<T>& array, long long n) {
  if (n <= array.allocatedLength()) return true;
  if (n > INT_MAX / static_cast<long long>(sizeof(T))) {
    reportStrip("reserve", "Allocation failed: shape data within 2147483647 bytes", MvErrorState::kAllocation);
    return false;
  }
  if (!array.reallocMem(static_cast<int>(n), 1, 0)) {
    MvErrorState::rethrowError();
    return false;
  }
  return true;
}

// Walks an iterator as reset(), size() and next(1) do. The toolkit's own
// stride iterator, when the iterator is exactly one, is walked by its own
// arithmetic on its fields instead of a virtual call per element, and is
// left standing where those calls would have left it.
template <int N>
class ElementWalk {
 public:
  explicit ElementWalk(MvShapeDataIter<float, N>& it)
      : _it(it), _strided(isStrideIter(it) ? static_cast<MvStrideIter<float, N>*>(&it) : nullptr) {}

  void reset() {
    if (_strided) {
      _strided->position = clamp(-static_cast<long long>(_strided->stride));
    } else {
      _it.reset();
    }
  }
  int size() const { return _strided ? _strided->count : _it.size(); }
  const float* next() {
    if (!_strided) return _it.next(1);
    MvStrideIter<float, N>& s = *_strided;
    s.position = clamp(static_cast<long long>(s.position) + s.stride);
    return s.data && s.position >= 0 && s.position < s.end ? s.data + s.position : nullptr;
  }

  // Appends to dst (which has room for them) the first k elements that
  // reset() and next(1) yield; false when fewer come.
  bool copy(int k, MvVec<float>& dst) {
    reset();
    for (int i = 0; i < k; ++i) {
      const float* p = next();
      if (!p) return false;
      dst.append(p, N);
    }
    return true;
  }

 private:
  static int clamp(long long v) { return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v); }

  // Whether the iterator is exactly the toolkit's stride iterator. Each
  // module has its own type_info for it, compared by name; the one last
  // found to match is remembered, so the usual test is one pointer compare.
  static bool isStrideIter(const MvShapeDataIter<float, N>& it) {
    static std::atomic<const std::type_info*> known{nullptr};
    const std::type_info& type = typeid(it);
    if (&type == known.load(std::memory_order_relaxed)) return true;
    if (type != typeid(MvStrideIter<float, N>)) return false;
    known.store(&type, std::memory_order_relaxed);
    return true;
  }

  MvShapeDataIter<float, N>& _it;
  MvStrideIter<float, N>* const _strided;
};

// Number of elements the iterator yields: reset, then next(1) up to size()
// times or until it yields null.
int countElements(ElementWalk<3>& it) {
  it.reset();
  const int n = it.size();
  int k = 0;
  while (k < n && it.next()) ++k;
  return k;
}

// Appends k elements of N floats from the iterator to dst, which has room
// for them; false when the iterator yields fewer.
template <int N>
bool copyElements(ElementWalk<N> it, int k, MvVec<float>& dst) {
  return it.copy(k, dst);
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
  ElementWalk<3> vertexWalk(vertices);
  const int k = countElements(vertexWalk);
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
  if (!copyElements(vertexWalk, k, vertexGrowth.dest())) {
    reportStrip("addPrimitive", "vertices.next(1) != NULL for every vertex");
    return 0;
  }
  if (withNormals && !copyElements(ElementWalk<3>(normals), k, normalGrowth.dest())) {
    reportStrip("addPrimitive", "normals.next(1) != NULL for every vertex");
    return 0;
  }
  if (withTexCoords && !copyElements(ElementWalk<2>(texCoords), k, texCoordGrowth.dest())) {
    reportStrip("addPrimitive", "texCoords.next(1) != NULL for every vertex");
    return 0;
  }
  if (withColors && !copyElements(ElementWalk<3>(colors), k, colorGrowth.dest())) {
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

unsigned MvTriStripSet::reserve(long long vertexCount, long long stripCount) {
  const long long v = vertexCount < 0 ? 0 : vertexCount;
  const bool ok = reserveElements(_vertices, 3 * v) &&
                  (_normalBinding != MV_BIND_PER_VERTEX || reserveElements(_normals, 3 * v)) &&
                  (_texCoordBinding != MV_BIND_PER_VERTEX || reserveElements(_texCoords, 2 * v)) &&
                  (_colorBinding != MV_BIND_PER_VERTEX || reserveElements(_colors, 3 * v)) &&
                  reserveElements(_stripStart, stripCount);
  return ok ? 1 : 0;
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
