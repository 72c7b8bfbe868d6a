#include "ksample/geometry.h"
#include "record_problem.h"

namespace ksample {

namespace {

// Faces, edges and used dimensions of each kind; all zero for a value that
// names no kind.
struct Topology {
  int faces;
  int edges;
  int dimensions;
};

Topology topologyOf(BodyKind kind) {
  switch (kind) {
    case BodyKind::Box:
      return {6, 12, 3};
    case BodyKind::Cylinder:
      return {3, 2, 2};
    case BodyKind::Sphere:
      return {1, 0, 1};
  }
  return {0, 0, 0};
}

}  // namespace

int faceCountOf(BodyKind kind) { return topologyOf(kind).faces; }

int edgeCountOf(BodyKind kind) { return topologyOf(kind).edges; }

int dimensionCountOf(BodyKind kind) { return topologyOf(kind).dimensions; }

bool isValidColor(const Rgba& rgba) {
  if (rgba[3] < 0.0f) return true;
  for (float c : rgba) {
    if (!(c >= 0.0f && c <= 1.0f)) return false;
  }
  return true;
}

namespace {

bool isCanonical(const Rgba& rgba) { return !(rgba[3] < 0.0f) || rgba == kNoColor; }

bool validColors(const BodyRecord& body) {
  if (body.faceColors.size() != static_cast<std::size_t>(faceCountOf(body.kind))) return false;
  for (const Rgba& c : body.faceColors) {
    if (!isValidColor(c) || !isCanonical(c)) return false;
  }
  if (!body.hasBodyColor) return body.bodyColor == kNoColor;
  return isValidColor(body.bodyColor) && !(body.bodyColor[3] < 0.0f);
}

}  // namespace

namespace detail {

const char* recordProblem(const BodyRecord& body) {
  const int used = dimensionCountOf(body.kind);
  if (used == 0) return "unknown body type";
  for (int i = 0; i < 3; ++i) {
    const double d = body.dims[i];
    const bool ok = i < used ? (d > 0.0 && d <= kMaxCoordinate) : d == 0.0;
    if (!ok) return "invalid dimensions";
  }
  if (!isRigid(body.xf)) return "invalid transform";
  if (!validColors(body)) return "invalid colour";
  return nullptr;
}

}  // namespace detail

bool isValidRecord(const BodyRecord& body) { return detail::recordProblem(body) == nullptr; }

bool sameRecord(const BodyRecord& a, const BodyRecord& b) {
  if (a.kind != b.kind || a.hasBodyColor != b.hasBodyColor || a.bodyColor != b.bodyColor ||
      a.faceColors != b.faceColors) {
    return false;
  }
  for (int i = 0; i < 3; ++i) {
    if (a.dims[i] != b.dims[i]) return false;
    for (int j = 0; j < 4; ++j) {
      if (a.xf.m[i][j] != b.xf.m[i][j]) return false;
    }
  }
  return true;
}

}  // namespace ksample
