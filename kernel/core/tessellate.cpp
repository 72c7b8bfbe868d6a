#include <cmath>
#include <new>

#include "body_table.h"
#include "errors.h"
#include "ksample/kernel.h"
#include "shape_math.h"

namespace ksample {
namespace {

// The float nearest to v on its low (down) or high side.
float roundOut(double v, bool down) {
  float f = static_cast<float>(v);
  if (down && f > v) f = std::nextafter(f, -INFINITY);
  if (!down && f < v) f = std::nextafter(f, INFINITY);
  return f;
}

}  // namespace

int tessellateFaces(int tag, double chordTol, double angleTol, std::vector<FaceMesh>& faces) {
  detail::clearError();
  faces.clear();
  try {
    BodyRecord body;
    if (!detail::snapshot(tag, body)) return kErrNoSuchBody;
    detail::faceMeshes(body, detail::bodySegments(body, chordTol, angleTol), faces);
  } catch (const std::bad_alloc&) {
    faces.clear();
    return detail::fail(kErrNoMemory, "out of memory");
  }
  return kOk;
}

long long faceTriangleCount(int tag, double chordTol, double angleTol) {
  detail::clearError();
  BodyRecord body;
  if (!detail::snapshot(tag, body)) return -1;
  const long long n = detail::bodySegments(body, chordTol, angleTol);
  switch (body.kind) {
    case BodyKind::Box:
      return 12;
    case BodyKind::Cylinder:
      return 4 * n - 4;
    default:
      return 2 * n * sphereBands(static_cast<int>(n));
  }
}

int tessellateEdges(int tag, double chordTol, double angleTol,
                    std::vector<std::vector<float>>& polylines) {
  detail::clearError();
  polylines.clear();
  try {
    BodyRecord body;
    if (!detail::snapshot(tag, body)) return kErrNoSuchBody;
    std::vector<detail::EdgeCurve> edges;
    detail::edgeCurves(body, detail::bodySegments(body, chordTol, angleTol), edges);
    polylines.resize(edges.size());
    for (std::size_t e = 0; e < edges.size(); ++e) {
      polylines[e].assign(edges[e].xyz.begin(), edges[e].xyz.end());
    }
  } catch (const std::bad_alloc&) {
    polylines.clear();
    return detail::fail(kErrNoMemory, "out of memory");
  }
  return kOk;
}

int boundingBox(int tag, float min[3], float max[3]) {
  detail::clearError();
  BodyRecord body;
  if (!detail::snapshot(tag, body)) return kErrNoSuchBody;
  detail::Vec3 lo{}, hi{};
  detail::exactBox(body, lo, hi);
  for (int i = 0; i < 3; ++i) {
    min[i] = roundOut(lo[i], true);
    max[i] = roundOut(hi[i], false);
  }
  return kOk;
}

}  // namespace ksample
