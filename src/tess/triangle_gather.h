// Copies triangles from a triangle iterator into a tri-strip set, one
// three-vertex primitive per triangle. The four small vectors and the four
// iterators that carry one triangle's data to addPrimitive are made once and
// reused, so the triangle loop allocates nothing.
#ifndef MVKM_TESS_TRIANGLE_GATHER_H
#define MVKM_TESS_TRIANGLE_GATHER_H

#include "host/MvErrorState.h"
#include "host/MvShapeDataIter.h"
#include "host/MvShapes.h"
#include "host/MvVec.h"

namespace mvkm {

class TriangleGather {
 public:
  // Each vector gets room for the three vertices of one triangle; the
  // iterators start empty.
  TriangleGather()
      : _vertices(kTriangleVertices),
        _normals(kTriangleVertices),
        _texCoords(kTriangleVertices),
        _colors(kTriangleVertices) {}
  TriangleGather(const TriangleGather&) = delete;
  TriangleGather& operator=(const TriangleGather&) = delete;

  // True when every vector got its storage (a vector that did not has
  // reported it); only then does the loop run without allocating.
  bool ready() const {
    return _vertices.allocatedLength() == kTriangleVertices &&
           _normals.allocatedLength() == kTriangleVertices &&
           _texCoords.allocatedLength() == kTriangleVertices &&
           _colors.allocatedLength() == kTriangleVertices;
  }

  // Only for a ready() gather. Restarts triIter and appends one primitive to target for each triangle
  // it yields, at most size() of them; a null from next() ends the walk
  // early. Returns 1, or 0 when the target could not take a triangle (the
  // target reported it; the triangles before it stay in the target).
  unsigned appendTriangles(MvTriIter& triIter, MvTriStripSet& target) {
    triIter.reset();
    const int n = triIter.size();
    for (int i = 0; i < n; ++i) {
      const MvTriangle* tri = triIter.next(1);
      if (!tri) break;
      gather(*tri);
      const unsigned added = target.addPrimitive(_vertexIter, _normalIter, _texCoordIter, _colorIter, 0);
      _vertices.setLength(0);
      _normals.setLength(0);
      _texCoords.setLength(0);
      _colors.setLength(0);
      if (!added) return mvkm::passOn();
    }
    return 1;
  }

 private:
  static constexpr int kTriangleVertices = 3;

  static MvVec3<float> triple(const float (&v)[3][3], int k) {
    return MvVec3<float>{{v[k][0], v[k][1], v[k][2]}};
  }

  // Puts the triangle's data into the vectors (within their storage) and
  // points the iterators at it.
  void gather(const MvTriangle& tri) {
    for (int k = 0; k < kTriangleVertices; ++k) _vertices.append(triple(tri.vertices, k));
    _vertexIter.set(_vertices.ptr()->v, kTriangleVertices, 3, nullptr);
    for (int k = 0; k < kTriangleVertices; ++k) _normals.append(triple(tri.normals, k));
    _normalIter.set(_normals.ptr()->v, kTriangleVertices, 3, nullptr);
    for (int k = 0; k < kTriangleVertices; ++k) {
      _texCoords.append(MvVec2<float>{{tri.texCoords[k][0], tri.texCoords[k][1]}});
    }
    _texCoordIter.set(_texCoords.ptr()->v, kTriangleVertices, 2, nullptr);
    for (int k = 0; k < kTriangleVertices; ++k) _colors.append(triple(tri.colors, k));
    _colorIter.set(_colors.ptr()->v, kTriangleVertices, 3, nullptr);
  }

  MvAVec<MvVec3<float>> _vertices;
  MvAVec<MvVec3<float>> _normals;
  MvAVec<MvVec2<float>> _texCoords;
  MvAVec<MvVec3<float>> _colors;
  MvStrideIter<float, 3> _vertexIter;
  MvStrideIter<float, 3> _normalIter;
  MvStrideIter<float, 2> _texCoordIter;
  MvStrideIter<float, 3> _colorIter;
};

}  // namespace mvkm

#endif
