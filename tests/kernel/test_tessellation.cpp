#include <array>
#include <cmath>

#include "kernel/kernel_fixture.h"

using namespace ksample;

namespace {

using V = std::array<double, 3>;

V at(const std::vector<float>& xyz, std::size_t i) {
  return {xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]};
}
V sub(const V& a, const V& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
V cross(const V& a, const V& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const V& a, const V& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Checks every strip of the body's mesh and returns its triangle count:
// unit normals, vertices inside the box, counter-clockwise triangles.
int checkedTriangles(int tag, double chordTol, double angleTol) {
  std::vector<FaceMesh> faces;
  EXPECT_EQ(tessellateFaces(tag, chordTol, angleTol, faces), kOk);
  EXPECT_EQ(static_cast<int>(faces.size()), faceCount(tag));
  float lo[3], hi[3];
  EXPECT_EQ(boundingBox(tag, lo, hi), kOk);
  int triangles = 0;
  for (std::size_t f = 0; f < faces.size(); ++f) {
    EXPECT_EQ(faces[f].faceIndex, static_cast<int>(f));
    EXPECT_FALSE(faces[f].strips.empty());
    for (const Strip& s : faces[f].strips) {
      const std::size_t n = s.positions.size() / 3;
      EXPECT_EQ(s.normals.size(), 3 * n);
      EXPECT_EQ(s.texCoords.size(), 2 * n);
      for (std::size_t i = 0; i < n; ++i) {
        EXPECT_NEAR(std::sqrt(dot(at(s.normals, i), at(s.normals, i))), 1.0, 1e-6);
        for (int k = 0; k < 3; ++k) {
          EXPECT_GE(s.positions[3 * i + k], lo[k]);
          EXPECT_LE(s.positions[3 * i + k], hi[k]);
        }
      }
      for (std::size_t i = 0; i + 2 < n; ++i, ++triangles) {
        const std::size_t a = i % 2 ? i + 1 : i, b = i % 2 ? i : i + 1, c = i + 2;
        const V normal = cross(sub(at(s.positions, b), at(s.positions, a)),
                               sub(at(s.positions, c), at(s.positions, a)));
        if (std::sqrt(dot(normal, normal)) < 1e-9) continue;  // at a sphere's pole
        EXPECT_GT(dot(normal, at(s.normals, a)), 0.0) << "face " << f << " triangle " << i;
      }
    }
  }
  return triangles;
}

}  // namespace

TEST(KernelFacets, CircleSegmentsFollowTheTolerances) {
  const double pi = 3.14159265358979323846;
  EXPECT_EQ(circleSegments(1.0, 1.0 - std::cos(pi / 8), 0.0), 8);
  EXPECT_EQ(circleSegments(2.0, 2.0 * (1.0 - std::cos(pi / 8)), -1.0), 8);
  EXPECT_EQ(circleSegments(1.0, 0.0, pi / 8), 16);
  EXPECT_EQ(circleSegments(1.0, 1.0 - std::cos(pi / 8), pi / 2), 8);
  EXPECT_EQ(circleSegments(1.0, 0.0, 0.0), kMinCircleSegments);
  EXPECT_EQ(circleSegments(1.0, 5.0, std::nan("")), kMinCircleSegments);
  EXPECT_EQ(circleSegments(1.0, 1e-15, 0.0), kMaxCircleSegments);
  EXPECT_EQ(sphereBands(3), 2);
  EXPECT_EQ(sphereBands(17), 9);
}

TEST_F(KernelTest, FacetsAreOrientedInsideTheBoxAndFollowTheFormulas) {
  const std::vector<int> bodies = sampleBodies();
  EXPECT_EQ(checkedTriangles(bodies[0], 0.01, 0.1), 12);
  for (double chord : {0.1, 0.01, 0.001}) {
    const int n = circleSegments(0.5, chord, 0.0);
    EXPECT_EQ(checkedTriangles(bodies[1], chord, 0.0), 4 * n - 4);
    const int m = circleSegments(2.0, chord, 0.0);
    EXPECT_EQ(checkedTriangles(bodies[2], chord, 0.0), 2 * m * sphereBands(m));
  }
  EXPECT_LT(checkedTriangles(bodies[2], 0.0, 0.5), checkedTriangles(bodies[2], 0.0, 0.1));

  // Colours: the face's own, else the body's, else none.
  std::vector<FaceMesh> faces;
  ASSERT_EQ(tessellateFaces(bodies[0], 0.1, 0.1, faces), kOk);
  EXPECT_EQ(faces[0].colour, (Rgba{1, 0, 0, 1}));
  EXPECT_EQ(faces[1].colour, (Rgba{0, 1, 0, 1}));
  ASSERT_EQ(tessellateFaces(bodies[1], 0.1, 0.1, faces), kOk);
  EXPECT_EQ(faces[0].colour, kNoColour);
  EXPECT_EQ(faces[1].colour, (Rgba{0.25f, 0.5f, 0.75f, 1.0f}));
  EXPECT_EQ(tessellateFaces(12345678, 0.1, 0.1, faces), kErrNoSuchBody);
  EXPECT_TRUE(faces.empty());
}

TEST_F(KernelTest, EdgesAndBoundingBoxes) {
  const int box = makeBox(1, 2, 3, translation(10, 20, 30));
  float lo[3], hi[3];
  ASSERT_EQ(boundingBox(box, lo, hi), kOk);
  EXPECT_EQ((std::vector<float>{lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]}),
            (std::vector<float>{10, 20, 30, 11, 22, 33}));
  std::vector<std::vector<float>> lines;
  ASSERT_EQ(tessellateEdges(box, 0.1, 0.1, lines), kOk);
  ASSERT_EQ(lines.size(), 12u);
  for (std::size_t e = 0; e < 12; ++e) {
    ASSERT_EQ(lines[e].size(), 6u);
    const V d = sub(at(lines[e], 1), at(lines[e], 0));
    EXPECT_DOUBLE_EQ(std::sqrt(dot(d, d)), static_cast<double>(e / 4 + 1));
  }

  // An upright cylinder: its box is tight, its circles closed and on the rim.
  const int cylinder = makeCylinder(2, 5, translation(1, 1, 1));
  ASSERT_EQ(boundingBox(cylinder, lo, hi), kOk);
  EXPECT_NEAR(lo[0], -1, 1e-6);
  EXPECT_NEAR(hi[2], 6, 1e-6);
  ASSERT_EQ(tessellateEdges(cylinder, 0.0, 3.14159265358979 / 10, lines), kOk);
  ASSERT_EQ(lines.size(), 2u);
  for (std::size_t e = 0; e < 2; ++e) {
    ASSERT_EQ(lines[e].size(), 3u * 21);
    EXPECT_EQ(at(lines[e], 0), at(lines[e], 20));
    EXPECT_NEAR(lines[e][2], e == 0 ? 1.0 : 6.0, 1e-6);
    EXPECT_NEAR(std::hypot(lines[e][30] - 1.0, lines[e][31] - 1.0), 2.0, 1e-5);
  }
  ASSERT_EQ(tessellateEdges(makeSphere(1, identityTransform()), 0.1, 0.1, lines), kOk);
  EXPECT_TRUE(lines.empty());
}
