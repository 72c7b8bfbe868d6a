#include <algorithm>
#include <cmath>

#include "shape_math.h"

namespace ksample {
namespace detail {
namespace {

void include(Vec3& min, Vec3& max, const Vec3& p) {
  for (int i = 0; i < 3; ++i) {
    min[i] = std::min(min[i], p[i]);
    max[i] = std::max(max[i], p[i]);
  }
}

// Widens a box of curved geometry by a few rounding errors, so that facet
// vertices computed with sines and cosines stay inside it.
void pad(Vec3& min, Vec3& max, double size) {
  for (int i = 0; i < 3; ++i) {
    min[i] -= 1.0e-12 * (std::fabs(min[i]) + size);
    max[i] += 1.0e-12 * (std::fabs(max[i]) + size);
  }
}

}  // namespace

void exactBox(const BodyRecord& body, Vec3& min, Vec3& max) {
  const Vec3 origin = placePoint(body.xf, Vec3{0.0, 0.0, 0.0});
  min = origin;
  max = origin;
  switch (body.kind) {
    case BodyKind::Box:
      // The corners, placed exactly as the facets place them.
      for (int corner = 1; corner < 8; ++corner) {
        Vec3 p{};
        for (int i = 0; i < 3; ++i) p[i] = (corner >> i) & 1 ? body.dims[i] : 0.0;
        include(min, max, placePoint(body.xf, p));
      }
      break;
    case BodyKind::Cylinder: {
      // A circle of radius r about axis a reaches r sqrt(1 - a_i^2) along i.
      const double r = body.dims[0];
      const Vec3 axis = placeDirection(body.xf, Vec3{0.0, 0.0, 1.0});
      include(min, max, placePoint(body.xf, Vec3{0.0, 0.0, body.dims[1]}));
      for (int i = 0; i < 3; ++i) {
        const double reach = r * std::sqrt(std::max(0.0, 1.0 - axis[i] * axis[i]));
        min[i] -= reach;
        max[i] += reach;
      }
      pad(min, max, r + body.dims[1]);
      break;
    }
    case BodyKind::Sphere:
      for (int i = 0; i < 3; ++i) {
        min[i] -= body.dims[0];
        max[i] += body.dims[0];
      }
      pad(min, max, body.dims[0]);
      break;
  }
}

}  // namespace detail
}  // namespace ksample
