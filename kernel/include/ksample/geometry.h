// Bodies of the sample kernel: exact primitives placed by a rigid transform,
// with optional colours, as plain records.
#ifndef KSAMPLE_GEOMETRY_H
#define KSAMPLE_GEOMETRY_H

#include <array>
#include <cstdint>
#include <vector>

namespace ksample {

// Red, green, blue, alpha in [0, 1]; a negative alpha stands for no colour.
using Rgba = std::array<float, 4>;

// The one value every "no colour" is stored as.
constexpr Rgba kNoColor = {0.0f, 0.0f, 0.0f, -1.0f};

// A rigid motion: rows of a rotation matrix with the translation in column 3,
// so p' = m[i][0..2] . p + m[i][3].
struct Transform {
  double m[3][4];
};

// Largest accepted size and coordinate, in model units.
constexpr double kMaxCoordinate = 1.0e9;

// Tolerance on orthonormality of a transform's rotation.
constexpr double kRotationTolerance = 1.0e-9;

// The identity transform.
Transform identityTransform();
// A pure translation.
Transform translation(double dx, double dy, double dz);
// A rotation by angle radians about the axis (ax, ay, az) through the origin;
// the axis is normalised, a zero or non-finite axis gives the identity.
Transform rotation(double ax, double ay, double az, double angle);
// The motion that applies b first, then a.
Transform compose(const Transform& a, const Transform& b);
// Whether every entry is finite, the translation within kMaxCoordinate and
// the rotation orthonormal with determinant +1 (within kRotationTolerance).
bool isRigid(const Transform& xf);

// The primitive kinds and their topology.
//  Box [0,dx]x[0,dy]x[0,dz]: faces -X,+X,-Y,+Y,-Z,+Z (0..5); 12 line edges,
//    edge 4a+k runs along axis a.
//  Cylinder of radius r about the z axis from z=0 to z=h: faces side (0),
//    top (1), bottom (2); edges bottom circle (0), top circle (1).
//  Sphere of radius r about the origin: one face, no edges.
enum class BodyKind : std::uint8_t { Box = 1, Cylinder = 2, Sphere = 3 };

// Number of faces and edges of a kind; 0 for a value that names no kind.
int faceCountOf(BodyKind kind);
int edgeCountOf(BodyKind kind);
// Number of dimensions a kind uses (box 3, cylinder 2: radius, height,
// sphere 1: radius); the others are 0.
int dimensionCountOf(BodyKind kind);

// One body. faceColours holds one colour per face.
struct BodyRecord {
  BodyKind kind = BodyKind::Box;
  double dims[3] = {0.0, 0.0, 0.0};
  Transform xf = identityTransform();
  bool hasBodyColor = false;
  Rgba bodyColor = kNoColor;
  std::vector<Rgba> faceColors;
};

// Whether a colour is "none" (negative alpha) or has all four components
// within [0, 1].
bool isValidColor(const Rgba& rgba);
// Whether the record is one the kernel can hold: a known kind, its used
// dimensions finite, positive and at most kMaxCoordinate, the others 0, a
// rigid transform, one valid colour per face, every "none" stored as
// kNoColour, and no body colour value without the flag.
bool isValidRecord(const BodyRecord& body);
// Field-by-field equality (doubles compared exactly).
bool sameRecord(const BodyRecord& a, const BodyRecord& b);

}  // namespace ksample

#endif
