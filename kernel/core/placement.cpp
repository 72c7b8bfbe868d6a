#include "shape_math.h"

namespace ksample {
namespace detail {

Vec3 placePoint(const Transform& xf, const Vec3& p) {
  Vec3 r{};
  for (int i = 0; i < 3; ++i) {
    r[i] = xf.m[i][0] * p[0] + xf.m[i][1] * p[1] + xf.m[i][2] * p[2] + xf.m[i][3];
  }
  return r;
}

Vec3 placeDirection(const Transform& xf, const Vec3& d) {
  Vec3 r{};
  for (int i = 0; i < 3; ++i) r[i] = xf.m[i][0] * d[0] + xf.m[i][1] * d[1] + xf.m[i][2] * d[2];
  return r;
}

}  // namespace detail
}  // namespace ksample
