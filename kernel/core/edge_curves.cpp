#include <cmath>

#include "shape_math.h"

namespace ksample {
namespace detail {
namespace {

void addPoint(EdgeCurve& edge, const Transform& xf, const Vec3& p) {
  const Vec3 w = placePoint(xf, p);
  edge.xyz.insert(edge.xyz.end(), w.begin(), w.end());
}

// Edge 4a + k runs along axis a; bit 0 of k puts it on the high side of the
// next axis, bit 1 on the high side of the one after. It bounds the faces on
// those two sides.
void boxEdges(const BodyRecord& body, std::vector<EdgeCurve>& edges) {
  for (int axis = 0; axis < 3; ++axis) {
    const int b = (axis + 1) % 3, c = (axis + 2) % 3;
    for (int k = 0; k < 4; ++k) {
      const bool highB = (k & 1) != 0, highC = (k & 2) != 0;
      EdgeCurve& edge = edges[static_cast<std::size_t>(4 * axis + k)];
      Vec3 p{};
      p[b] = highB ? body.dims[b] : 0.0;
      p[c] = highC ? body.dims[c] : 0.0;
      addPoint(edge, body.xf, p);
      p[axis] = body.dims[axis];
      addPoint(edge, body.xf, p);
      edge.faces[0] = 2 * b + (highB ? 1 : 0);
      edge.faces[1] = 2 * c + (highC ? 1 : 0);
    }
  }
}

// Edge 0 is the bottom circle (side and bottom faces), edge 1 the top one
// (side and top faces); each is closed by repeating its first point.
void cylinderEdges(const BodyRecord& body, int n, std::vector<EdgeCurve>& edges) {
  const double r = body.dims[0];
  for (int e = 0; e < 2; ++e) {
    EdgeCurve& edge = edges[static_cast<std::size_t>(e)];
    const double z = e == 0 ? 0.0 : body.dims[1];
    for (int i = 0; i < n; ++i) {
      const double phi = 2.0 * kPi * i / n;
      addPoint(edge, body.xf, Vec3{r * std::cos(phi), r * std::sin(phi), z});
    }
    edge.xyz.insert(edge.xyz.end(), edge.xyz.begin(), edge.xyz.begin() + 3);
    edge.closed = true;
    edge.faces[0] = 0;
    edge.faces[1] = e == 0 ? 2 : 1;
  }
}

}  // namespace

void edgeCurves(const BodyRecord& body, int segments, std::vector<EdgeCurve>& edges) {
  edges.assign(static_cast<std::size_t>(edgeCountOf(body.kind)), EdgeCurve{});
  if (body.kind == BodyKind::Box) boxEdges(body, edges);
  if (body.kind == BodyKind::Cylinder) cylinderEdges(body, segments, edges);
}

}  // namespace detail
}  // namespace ksample
