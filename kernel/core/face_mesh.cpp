// Triangle strips of the primitives' faces. Every strip is built in the
// body's own coordinates and then placed; triangles are counter-clockwise
// seen from outside under the strip convention (odd triangles swap their
// first two vertices).
#include <cmath>
#include <cstddef>

#include "shape_math.h"

namespace ksample {
namespace detail {
namespace {

class StripBuilder {
 public:
  StripBuilder(const Transform& xf, Strip& strip) : xf_(xf), strip_(strip) {}

  void add(const Vec3& p, const Vec3& n, double u, double v) {
    const Vec3 wp = placePoint(xf_, p);
    const Vec3 wn = placeDirection(xf_, n);
    for (int i = 0; i < 3; ++i) {
      strip_.positions.push_back(static_cast<float>(wp[i]));
      strip_.normals.push_back(static_cast<float>(wn[i]));
    }
    strip_.texCoords.push_back(static_cast<float>(u));
    strip_.texCoords.push_back(static_cast<float>(v));
  }

 private:
  const Transform& xf_;
  Strip& strip_;
};

Rgba faceColor(const BodyRecord& body, std::size_t face) {
  const Rgba& own = body.faceColors[face];
  if (!(own[3] < 0.0f)) return own;
  return body.hasBodyColor ? body.bodyColor : kNoColor;
}

// Face 2a + s of the box lies on axis a at its low (s = 0) or high (s = 1)
// side. Its corners go o, o+U, o+U+V, o+V counter-clockwise from outside,
// with U x V along the outward normal; the strip takes them as 0, 1, 3, 2.
void boxFace(const BodyRecord& body, int face, Strip& strip) {
  const int axis = face / 2;
  const bool high = face % 2 == 1;
  const int b = (axis + 1) % 3, c = (axis + 2) % 3;
  const int uAxis = high ? b : c, vAxis = high ? c : b;
  Vec3 o{}, u{}, v{}, n{};
  o[axis] = high ? body.dims[axis] : 0.0;
  u[uAxis] = body.dims[uAxis];
  v[vAxis] = body.dims[vAxis];
  n[axis] = high ? 1.0 : -1.0;
  const Vec3 ou{o[0] + u[0], o[1] + u[1], o[2] + u[2]};
  const Vec3 ov{o[0] + v[0], o[1] + v[1], o[2] + v[2]};
  const Vec3 ouv{ou[0] + v[0], ou[1] + v[1], ou[2] + v[2]};
  StripBuilder s(body.xf, strip);
  s.add(o, n, 0.0, 0.0);
  s.add(ou, n, 1.0, 0.0);
  s.add(ov, n, 0.0, 1.0);
  s.add(ouv, n, 1.0, 1.0);
}

// The side of the cylinder: columns at angles 2 pi i / n, top then bottom.
void cylinderSide(const BodyRecord& body, int n, Strip& strip) {
  const double r = body.dims[0], h = body.dims[1];
  StripBuilder s(body.xf, strip);
  for (int i = 0; i <= n; ++i) {
    const double phi = 2.0 * kPi * (i % n) / n;
    const double cx = std::cos(phi), sy = std::sin(phi);
    const Vec3 normal{cx, sy, 0.0};
    const double u = static_cast<double>(i) / n;
    s.add(Vec3{r * cx, r * sy, h}, normal, u, 1.0);
    s.add(Vec3{r * cx, r * sy, 0.0}, normal, u, 0.0);
  }
}

// A cap as one zigzag strip over its n rim points: 0, 1, n-1, 2, n-2, ...
// The top cap walks the rim counter-clockwise about +z, the bottom one
// clockwise, so both face outwards.
void cylinderCap(const BodyRecord& body, int n, bool top, Strip& strip) {
  const double r = body.dims[0];
  const double z = top ? body.dims[1] : 0.0;
  const Vec3 normal{0.0, 0.0, top ? 1.0 : -1.0};
  StripBuilder s(body.xf, strip);
  auto rim = [&](int k) {
    const int index = top ? k : (n - k) % n;
    const double phi = 2.0 * kPi * index / n;
    const double cx = std::cos(phi), sy = std::sin(phi);
    s.add(Vec3{r * cx, r * sy, z}, normal, 0.5 + 0.5 * cx, 0.5 + 0.5 * sy);
  };
  rim(0);
  for (int lo = 1, hi = n - 1; lo <= hi; ++lo, --hi) {
    rim(lo);
    if (lo != hi) rim(hi);
  }
}

// One strip per latitude band, north to south; ring j lies at latitude
// pi/2 - pi j / bands, the poles exactly on the axis.
void sphereFace(const BodyRecord& body, int n, std::vector<Strip>& strips) {
  const double r = body.dims[0];
  const int bands = sphereBands(n);
  auto ring = [&](int j, double& cosLat, double& sinLat) {
    if (j == 0 || j == bands) {
      cosLat = 0.0;
      sinLat = j == 0 ? 1.0 : -1.0;
      return;
    }
    const double lat = kPi / 2.0 - kPi * j / bands;
    cosLat = std::cos(lat);
    sinLat = std::sin(lat);
  };
  strips.resize(static_cast<std::size_t>(bands));
  for (int j = 0; j < bands; ++j) {
    StripBuilder s(body.xf, strips[static_cast<std::size_t>(j)]);
    double c0 = 0.0, s0 = 0.0, c1 = 0.0, s1 = 0.0;
    ring(j, c0, s0);
    ring(j + 1, c1, s1);
    for (int i = 0; i <= n; ++i) {
      const double phi = 2.0 * kPi * (i % n) / n;
      const double cx = std::cos(phi), sy = std::sin(phi);
      const double u = static_cast<double>(i) / n;
      const Vec3 upper{c0 * cx, c0 * sy, s0};
      const Vec3 lower{c1 * cx, c1 * sy, s1};
      s.add(Vec3{r * upper[0], r * upper[1], r * upper[2]}, upper, u,
            1.0 - static_cast<double>(j) / bands);
      s.add(Vec3{r * lower[0], r * lower[1], r * lower[2]}, lower, u,
            1.0 - static_cast<double>(j + 1) / bands);
    }
  }
}

}  // namespace

void faceMeshes(const BodyRecord& body, int segments, std::vector<FaceMesh>& faces) {
  const std::size_t count = static_cast<std::size_t>(faceCountOf(body.kind));
  faces.assign(count, FaceMesh{});
  for (std::size_t f = 0; f < count; ++f) {
    faces[f].faceIndex = static_cast<int>(f);
    faces[f].color = faceColor(body, f);
  }
  switch (body.kind) {
    case BodyKind::Box:
      for (std::size_t f = 0; f < count; ++f) {
        faces[f].strips.resize(1);
        boxFace(body, static_cast<int>(f), faces[f].strips[0]);
      }
      break;
    case BodyKind::Cylinder:
      for (FaceMesh& face : faces) face.strips.resize(1);
      cylinderSide(body, segments, faces[0].strips[0]);
      cylinderCap(body, segments, true, faces[1].strips[0]);
      cylinderCap(body, segments, false, faces[2].strips[0]);
      break;
    case BodyKind::Sphere:
      sphereFace(body, segments, faces[0].strips);
      break;
  }
}

}  // namespace detail
}  // namespace ksample
