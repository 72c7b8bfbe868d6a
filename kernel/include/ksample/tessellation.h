// Facets, edge polylines and boxes of the kernel's bodies.
#ifndef KSAMPLE_TESSELLATION_H
#define KSAMPLE_TESSELLATION_H

#include <vector>

#include "ksample/geometry.h"

namespace ksample {

// One triangle strip: triangle i uses vertices i, i+1, i+2, with the first
// two swapped on odd i; every triangle is counter-clockwise seen from outside.
// positions and normals hold xyz per vertex, texCoords uv per vertex.
struct Strip {
  std::vector<float> positions;
  std::vector<float> normals;
  std::vector<float> texCoords;
};

// The facets of one face: its index in the body, its colour (the face's own,
// else the body's, else kNoColour) and its strips.
struct FaceMesh {
  int faceIndex = 0;
  Rgba color = kNoColor;
  std::vector<Strip> strips;
};

// Limits on the number of segments per full circle.
constexpr int kMinCircleSegments = 3;
constexpr int kMaxCircleSegments = 1024;

// Segments per full circle of the given radius: the fewest whose sagitta is
// at most chordTol and whose angle is at most angleTol, clamped to
// [kMinCircleSegments, kMaxCircleSegments]. A tolerance that is not positive
// (or not a number) is ignored.
int circleSegments(double radius, double chordTol, double angleTol);

// Number of latitude bands of a sphere meshed with n segments per circle:
// max(2, ceil(n / 2)). A sphere has 2 * n * bands triangles, those touching
// the poles degenerate; a cylinder has 4n - 4 (2n side, n - 2 per cap); a box
// 2 per face.
int sphereBands(int segments);

// The triangles tessellateFaces would make for the body with the same
// tolerances, counted without making them; -1 (kErrNoSuchBody) when the body
// does not exist.
long long faceTriangleCount(int tag, double chordTol, double angleTol);

// Meshes every face of the body, in face order. Returns 0, or
// kErrNoSuchBody / kErrNoMemory with lastError set.
int tessellateFaces(int tag, double chordTol, double angleTol, std::vector<FaceMesh>& faces);

// One polyline (xyz triples) per edge, in edge order: a box edge has 2
// points, a circle is closed (n + 1 points, the last equal to the first).
// Returns 0, or kErrNoSuchBody / kErrNoMemory with lastError set.
int tessellateEdges(int tag, double chordTol, double angleTol,
                    std::vector<std::vector<float>>& polylines);

// A box enclosing the body, from its exact geometry (tight for boxes), its
// float corners rounded outwards. Returns 0, or kErrNoSuchBody.
int boundingBox(int tag, float min[3], float max[3]);

}  // namespace ksample

#endif
