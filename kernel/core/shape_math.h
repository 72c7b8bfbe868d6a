// Points, placement and the exact shapes of a body's faces and edges, in
// double precision.
#ifndef KSAMPLE_CORE_SHAPE_MATH_H
#define KSAMPLE_CORE_SHAPE_MATH_H

#include <array>
#include <vector>

#include "ksample/geometry.h"
#include "ksample/tessellation.h"

namespace ksample {
namespace detail {

using Vec3 = std::array<double, 3>;

constexpr double kPi = 3.14159265358979323846;

// The transform applied to a point, and its rotation to a direction.
Vec3 placePoint(const Transform& xf, const Vec3& p);
Vec3 placeDirection(const Transform& xf, const Vec3& d);

// Segments per circle for the body's curved faces and edges (0 for a box).
int bodySegments(const BodyRecord& body, double chordTol, double angleTol);

// One edge: its points (xyz), whether it is closed (last point equal to the
// first) and the two faces it bounds.
struct EdgeCurve {
  std::vector<double> xyz;
  bool closed = false;
  int faces[2] = {0, 0};
};

// The body's edges in edge order, circles with the given segments.
void edgeCurves(const BodyRecord& body, int segments, std::vector<EdgeCurve>& edges);

// The body's faces in face order, curved ones with the given segments.
void faceMeshes(const BodyRecord& body, int segments, std::vector<FaceMesh>& faces);

// The exact enclosing box of the body.
void exactBox(const BodyRecord& body, Vec3& min, Vec3& max);

}  // namespace detail
}  // namespace ksample

#endif
