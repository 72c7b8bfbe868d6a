// Faces and edges of a part through OCCT's incremental mesher, the box, and
// the edges drawn through the frustrum's segment functions.
#include <cmath>

#include <BRepAdaptor_Curve.hxx>
#include <BRepBndLib.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepTools.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <GCPnts_TangentialDeflection.hxx>
#include <GeomLProp_SLProps.hxx>
#include <Geom_Surface.hxx>
#include <Poly_PolygonOnTriangulation.hxx>
#include <Poly_Triangulation.hxx>
#include <TopExp.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>

#include "internal.h"

namespace kocct {
namespace {

using detail::fail;

bool validTolerances(double chord, double angle) {
  return std::isfinite(chord) && chord > 0.0 && std::isfinite(angle) && angle > 0.0;
}

// Meshes the shape unless its faces already carry a mesh at least as fine
// (with its edges on it). The mesher would find that too, but only after
// building its whole model of the shape, which costs about half a meshing:
// a part is meshed once, and its triangle count, faces and edges are then
// read from that mesh.
void mesh(const TopoDS_Shape& shape, double chord, double angle) {
  if (BRepTools::Triangulation(shape, chord)) return;
  BRepMesh_IncrementalMesh mesher(shape, chord, false, angle, false);
}

void appendPoint(std::vector<float>& out, const gp_XYZ& p) {
  out.push_back(static_cast<float>(p.X()));
  out.push_back(static_cast<float>(p.Y()));
  out.push_back(static_cast<float>(p.Z()));
}

// The surface normal at every node of the face's mesh, placed and turned
// for a reversed face; where the surface gives none (a pole) the mean of the
// normals of the node's triangles stands in.
void faceNormals(const TopoDS_Face& face, const Poly_Triangulation& tri, std::vector<float>& out) {
  const bool reversed = face.Orientation() == TopAbs_REVERSED;
  TopLoc_Location surfaceLoc;
  const Handle(Geom_Surface) surface = BRep_Tool::Surface(face, surfaceLoc);
  const gp_Trsf place = surfaceLoc.Transformation();
  std::vector<gp_XYZ> normals(static_cast<std::size_t>(tri.NbNodes()), gp_XYZ(0, 0, 0));
  std::vector<bool> known(normals.size(), false);
  if (!surface.IsNull() && tri.HasUVNodes()) {
    GeomLProp_SLProps props(surface, 1, 1e-9);
    for (int i = 1; i <= tri.NbNodes(); ++i) {
      const gp_Pnt2d uv = tri.UVNode(i);
      props.SetParameters(uv.X(), uv.Y());
      if (!props.IsNormalDefined()) continue;
      normals[static_cast<std::size_t>(i - 1)] = props.Normal().Transformed(place).XYZ();
      known[static_cast<std::size_t>(i - 1)] = true;
    }
  }
  for (int t = 1; t <= tri.NbTriangles(); ++t) {
    int n[3];
    tri.Triangle(t).Get(n[0], n[1], n[2]);
    const gp_XYZ a = tri.Node(n[0]).XYZ(), b = tri.Node(n[1]).XYZ(), c = tri.Node(n[2]).XYZ();
    gp_XYZ facet = (b - a) ^ (c - a);
    if (reversed) facet.Reverse();
    for (int k : n)
      if (!known[static_cast<std::size_t>(k - 1)]) normals[static_cast<std::size_t>(k - 1)] += facet;
  }
  out.reserve(normals.size() * 3);
  for (std::size_t i = 0; i < normals.size(); ++i) {
    gp_XYZ v = normals[i];
    if (known[i] && reversed) v.Reverse();
    const double length = v.Modulus();
    appendPoint(out, length > 0.0 ? v / length : gp_XYZ(0, 0, 1));
  }
}

void faceMesh(const TopoDS_Face& face, int index, const Rgba& color, std::vector<FaceMesh>& out) {
  TopLoc_Location loc;
  const Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(face, loc);
  if (tri.IsNull() || tri->NbTriangles() == 0) return;
  const gp_Trsf place = loc.Transformation();
  FaceMesh m;
  m.faceIndex = index;
  m.color = color;
  m.positions.reserve(static_cast<std::size_t>(tri->NbNodes()) * 3);
  for (int i = 1; i <= tri->NbNodes(); ++i) appendPoint(m.positions, tri->Node(i).Transformed(place).XYZ());
  std::vector<float> normals;
  faceNormals(face, *tri, normals);
  // Normals were found in the surface's placement; the mesh's is the same.
  m.normals = std::move(normals);
  const bool reversed = face.Orientation() == TopAbs_REVERSED;
  m.triangles.reserve(static_cast<std::size_t>(tri->NbTriangles()) * 3);
  for (int t = 1; t <= tri->NbTriangles(); ++t) {
    int a, b, c;
    tri->Triangle(t).Get(a, b, c);
    if (reversed) std::swap(b, c);
    m.triangles.insert(m.triangles.end(), {a - 1, b - 1, c - 1});
  }
  out.push_back(std::move(m));
}

// Points of an edge: the face mesh's nodes along it, or its own
// discretisation when no meshed face holds it.
void edgeLine(const TopoDS_Edge& edge, const TopTools_ListOfShape& faces, double chord, double angle,
              std::vector<float>& line) {
  for (TopTools_ListOfShape::Iterator it(faces); it.More(); it.Next()) {
    TopLoc_Location loc;
    const Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(TopoDS::Face(it.Value()), loc);
    if (tri.IsNull()) continue;
    const Handle(Poly_PolygonOnTriangulation)& polygon = BRep_Tool::PolygonOnTriangulation(edge, tri, loc);
    if (polygon.IsNull()) continue;
    const gp_Trsf place = loc.Transformation();
    for (int i = 1; i <= polygon->NbNodes(); ++i)
      appendPoint(line, tri->Node(polygon->Node(i)).Transformed(place).XYZ());
    return;
  }
  BRepAdaptor_Curve curve(edge);
  GCPnts_TangentialDeflection points(curve, angle, chord);
  for (int i = 1; i <= points.NbPoints(); ++i) appendPoint(line, points.Value(i).XYZ());
}

// The edge polylines of a meshed part.
int edgeLines(const Part& part, double chord, double angle, std::vector<std::vector<float>>& lines) {
  TopTools_IndexedDataMapOfShapeListOfShape edgeFaces;
  TopExp::MapShapesAndAncestors(part.shape, TopAbs_EDGE, TopAbs_FACE, edgeFaces);
  for (int i = 1; i <= edgeFaces.Extent(); ++i) {
    const TopoDS_Edge& edge = TopoDS::Edge(edgeFaces.FindKey(i));
    if (BRep_Tool::Degenerated(edge)) continue;
    std::vector<float> line;
    edgeLine(edge, edgeFaces(i), chord, angle, line);
    if (line.size() >= 6) lines.push_back(std::move(line));
  }
  return kOk;
}

// Runs job(part) on the part of tag under the session's lock.
template <class Job>
int withPart(int tag, Job&& job) {
  detail::clearError();
  return detail::guarded([&] {
    detail::State& s = detail::state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    const Part* part = detail::findPart(s, tag);
    if (!part) return static_cast<int>(kErrNoSuchPart);
    return job(*part, s);
  });
}

// Runs job(part, session) on the part of tag, meshed at the tolerances,
// under the session's lock.
template <class Job>
int withMeshedPart(int tag, double chord, double angle, Job&& job) {
  if (!validTolerances(chord, angle)) {
    detail::clearError();
    return fail(kErrInvalidArgument, "invalid tolerances");
  }
  return withPart(tag, [&](const Part& part, detail::State& s) {
    mesh(part.shape, chord, angle);
    return job(part, s);
  });
}

}  // namespace

int tessellateFaces(int tag, double chord, double angle, std::vector<FaceMesh>& faces) {
  return withMeshedPart(tag, chord, angle, [&](const Part& part, detail::State&) {
    TopTools_IndexedMapOfShape map;
    TopExp::MapShapes(part.shape, TopAbs_FACE, map);
    for (int i = 1; i <= map.Extent(); ++i) {
      const std::size_t at = static_cast<std::size_t>(i - 1);
      const Rgba color = at < part.faceColors.size() && part.faceColors[at].isSet() ? part.faceColors[at]
                                                                                      : part.color;
      faceMesh(TopoDS::Face(map(i)), i - 1, color, faces);
    }
    return static_cast<int>(kOk);
  });
}

int triangleCount(int tag, double chord, double angle, long long& count) {
  count = 0;
  return withMeshedPart(tag, chord, angle, [&](const Part& part, detail::State&) {
    TopTools_IndexedMapOfShape map;
    TopExp::MapShapes(part.shape, TopAbs_FACE, map);
    for (int i = 1; i <= map.Extent(); ++i) {
      TopLoc_Location loc;
      const Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(TopoDS::Face(map(i)), loc);
      if (!tri.IsNull()) count += tri->NbTriangles();
    }
    return static_cast<int>(kOk);
  });
}

int tessellateEdges(int tag, double chord, double angle, std::vector<std::vector<float>>& lines) {
  return withMeshedPart(tag, chord, angle,
                        [&](const Part& part, detail::State&) { return edgeLines(part, chord, angle, lines); });
}

int boundingBox(int tag, double minPt[3], double maxPt[3]) {
  return withPart(tag, [&](const Part& part, detail::State&) {
    Bnd_Box box;
    BRepBndLib::AddOptimal(part.shape, box, false, false);
    if (box.IsVoid()) return fail(kErrKernel, "part " + std::to_string(tag) + " has no extent");
    box.Get(minPt[0], minPt[1], minPt[2], maxPt[0], maxPt[1], maxPt[2]);
    return static_cast<int>(kOk);
  });
}

int render(int tag, double chord, double angle) {
  return withMeshedPart(tag, chord, angle, [&](const Part& part, detail::State& s) {
    std::vector<std::vector<float>> lines;
    edgeLines(part, chord, angle, lines);
    const ksample::Frustrum& f = s.frustrum;
    const int open = 0, output = 1, zero = 0;
    const int count = static_cast<int>(lines.size());
    const double origin = 0.0;
    const int noFaces[2] = {0, 0};
    int ifail = 0;
    f.openSegment(&open, &tag, &count, &zero, &origin, &zero, &zero, &ifail);
    if (ifail != 0) return ifail;
    int status = 0;
    std::vector<double> points;
    for (int i = 0; i < count && status == 0; ++i) {
      points.assign(lines[static_cast<std::size_t>(i)].begin(), lines[static_cast<std::size_t>(i)].end());
      const int n = static_cast<int>(points.size() / 3);
      f.outputSegment(&output, &tag, &i, &n, points.data(), &zero, noFaces, &status);
    }
    int closed = 0;
    f.closeSegment(&open, &tag, &count, &zero, &origin, &zero, &zero, &closed);
    return status != 0 ? status : closed;
  });
}

}  // namespace kocct
