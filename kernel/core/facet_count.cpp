#include <algorithm>
#include <cmath>

#include "ksample/tessellation.h"
#include "shape_math.h"

namespace ksample {
namespace {

// Rounds up, forgiving the rounding error of a quotient that is meant to be
// a whole number (2*pi / (2*pi / 64) must give 64, not 65).
double roundUp(double v) { return std::ceil(v - 1.0e-9); }

}  // namespace

int circleSegments(double radius, double chordTol, double angleTol) {
  double n = kMinCircleSegments;
  if (chordTol > 0.0 && radius > 0.0) {
    // A segment of angle 2a has sagitta r (1 - cos a); keep it <= chordTol.
    const double ratio = chordTol / radius;
    if (ratio < 2.0) n = std::max(n, roundUp(detail::kPi / std::acos(1.0 - ratio)));
  }
  if (angleTol > 0.0) n = std::max(n, roundUp(2.0 * detail::kPi / angleTol));
  return static_cast<int>(std::min(n, static_cast<double>(kMaxCircleSegments)));
}

int sphereBands(int segments) { return std::max(2, (segments + 1) / 2); }

namespace detail {

int bodySegments(const BodyRecord& body, double chordTol, double angleTol) {
  return body.kind == BodyKind::Box ? 0 : circleSegments(body.dims[0], chordTol, angleTol);
}

}  // namespace detail
}  // namespace ksample
