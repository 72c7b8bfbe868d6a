#include <cmath>

#include "ksample/geometry.h"

namespace ksample {

Transform identityTransform() { return translation(0.0, 0.0, 0.0); }

Transform translation(double dx, double dy, double dz) {
  return Transform{{{1.0, 0.0, 0.0, dx}, {0.0, 1.0, 0.0, dy}, {0.0, 0.0, 1.0, dz}}};
}

Transform rotation(double ax, double ay, double az, double angle) {
  const double len = std::sqrt(ax * ax + ay * ay + az * az);
  if (!(len > 0.0) || !std::isfinite(len) || !std::isfinite(angle)) return identityTransform();
  const double x = ax / len, y = ay / len, z = az / len;
  const double c = std::cos(angle), s = std::sin(angle), k = 1.0 - c;
  return Transform{{{c + x * x * k, x * y * k - z * s, x * z * k + y * s, 0.0},
                    {y * x * k + z * s, c + y * y * k, y * z * k - x * s, 0.0},
                    {z * x * k - y * s, z * y * k + x * s, c + z * z * k, 0.0}}};
}

Transform compose(const Transform& a, const Transform& b) {
  Transform r{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 4; ++j) {
      double v = j == 3 ? a.m[i][3] : 0.0;
      for (int k = 0; k < 3; ++k) v += a.m[i][k] * b.m[k][j];
      r.m[i][j] = v;
    }
  }
  return r;
}

bool isRigid(const Transform& xf) {
  for (const auto& row : xf.m) {
    for (double v : row) {
      if (!std::isfinite(v)) return false;
    }
    if (std::fabs(row[3]) > kMaxCoordinate) return false;
  }
  for (int i = 0; i < 3; ++i) {
    for (int j = i; j < 3; ++j) {
      double dot = 0.0;
      for (int k = 0; k < 3; ++k) dot += xf.m[i][k] * xf.m[j][k];
      if (std::fabs(dot - (i == j ? 1.0 : 0.0)) > kRotationTolerance) return false;
    }
  }
  const auto& m = xf.m;
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  return std::fabs(det - 1.0) <= kRotationTolerance;
}

}  // namespace ksample
