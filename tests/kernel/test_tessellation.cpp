#include <algorithm>
#include <cmath>

#include "kernel/kernel_fixture.h"

using namespace ksample;

namespace {

// Tessellates the body and returns its triangle count, checking that every vertex has a unit normal and lies in the
// box, and that every triangle (i, i+1, i+2, the first two swapped on odd i) turns counter-clockwise about it.
int checkedTriangles(int tag, double chordTol, double angleTol) {
  std::vector<FaceMesh> faces;
  EXPECT_EQ(tessellateFaces(tag, chordTol, angleTol, faces), kOk);
  EXPECT_EQ(static_cast<int>(faces.size()), faceCount(tag));
  float lo[3], hi[3];
  EXPECT_EQ(boundingBox(tag, lo, hi), kOk);
  int triangles = 0;
  for (const FaceMesh& face : faces)
    for (const Strip& s : face.strips) {
      const std::size_t n = s.positions.size() / 3;
      EXPECT_EQ(s.normals.size(), 3 * n);
      for (std::size_t i = 0; i < n; ++i) {
        const float* normal = &s.normals[3 * i];
        EXPECT_NEAR(std::hypot(normal[0], normal[1], normal[2]), 1.0, 1e-6);
        const float* at = &s.positions[3 * i];
        for (std::size_t k = 0; k < 3; ++k) EXPECT_TRUE(lo[k] <= at[k] && at[k] <= hi[k]) << at[k];
        if (i + 2 >= n) continue;
        ++triangles;
        const float* p = s.positions.data();
        const std::size_t a = 3 * (i + i % 2), b = 3 * (i + 1 - i % 2), c = 3 * (i + 2);
        double turn = 0.0, area = 0.0;
        for (std::size_t k = 0; k < 3; ++k) {
          const std::size_t u = (k + 1) % 3, v = (k + 2) % 3;
          const double cross = double(p[b + u] - p[a + u]) * (p[c + v] - p[a + v]) -
                               double(p[b + v] - p[a + v]) * (p[c + u] - p[a + u]);
          turn += cross * s.normals[a + k];
          area += cross * cross;
        }
        EXPECT_TRUE(turn > 0.0 || area < 1e-18);  // a sphere's pole triangles are degenerate
      }
    }
  return triangles;
}

}  // namespace

TEST_F(KernelTest, FacetsFollowTheFormulasAndTheTolerances) {
  EXPECT_EQ(circleSegments(1.0, 0.08, 0.0), 8);  // sagitta 1 - cos(pi / 8) = 0.0761
  const std::vector<int> bodies = sampleBodies();
  EXPECT_EQ(checkedTriangles(bodies[0], 0.01, 0.1), 12);
  int coarser = 0;
  for (double chord : {0.1, 0.01, 0.001}) {
    EXPECT_EQ(checkedTriangles(bodies[1], chord, 0.0), 4 * circleSegments(0.5, chord, 0.0) - 4);
    const int m = circleSegments(2.0, chord, 0.0), sphere = checkedTriangles(bodies[2], chord, 0.0);
    EXPECT_EQ(sphere, 2 * m * std::max(2, (m + 1) / 2));
    // Counted without meshing, the same numbers.
    for (int body : bodies) EXPECT_EQ(faceTriangleCount(body, chord, 0.1), checkedTriangles(body, chord, 0.1));
    EXPECT_GT(sphere, coarser);
    coarser = sphere;
  }
  EXPECT_EQ(faceTriangleCount(-1, 0.1, 0.1), -1);
  EXPECT_LT(checkedTriangles(bodies[2], 0.0, 0.5), checkedTriangles(bodies[2], 0.0, 0.1));

  std::vector<FaceMesh> faces;
  ASSERT_EQ(tessellateFaces(bodies[0], 0.1, 0.1, faces), kOk);
  EXPECT_EQ(faces[0].color, (Rgba{1, 0, 0, 1}));  // its own colour
  EXPECT_EQ(faces[1].color, (Rgba{0, 1, 0, 1}));  // the body's
}
