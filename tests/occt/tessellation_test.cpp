// Face and edge meshes against the exact geometry, and colour merging.
#include <array>
#include <set>

#include <BRepBuilderAPI_MakeVertex.hxx>
#include <BRepClass3d_SolidClassifier.hxx>
#include <BRepExtrema_DistShapeShape.hxx>

#include "occt/occt_support.h"

namespace occttest {
namespace {

using Tessellation = OcctTest;

gp_Pnt pointAt(const std::vector<float>& xyz, std::size_t i) { return gp_Pnt(xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]); }

// The corners of triangle t of a face mesh.
std::array<gp_Pnt, 3> corners(const kocct::FaceMesh& f, std::size_t t) {
  return {pointAt(f.positions, f.triangles[3 * t]), pointAt(f.positions, f.triangles[3 * t + 1]),
          pointAt(f.positions, f.triangles[3 * t + 2])};
}

int addShape(const TopoDS_Shape& shape, std::vector<kocct::Rgba> faceColors = {}) {
  kocct::Part part;
  part.shape = shape;
  part.name = "shape";
  part.faceColors = std::move(faceColors);
  int tag = 0;
  EXPECT_EQ(kocct::addPart(part, tag), kocct::kOk) << kocct::lastError();
  return tag;
}

TEST_F(Tessellation, VerticesLieWithinTheChordOfTheirFaceAndNormalsPointOut) {
  const TopoDS_Shape shape = blockWithHole();
  const int tag = addShape(shape);
  const double chord = 0.05;
  std::vector<kocct::FaceMesh> faces;
  ASSERT_EQ(kocct::tessellateFaces(tag, chord, 0.3, faces), kocct::kOk) << kocct::lastError();
  ASSERT_EQ(faces.size(), static_cast<std::size_t>(countOf(shape, TopAbs_FACE)));
  BRepClass3d_SolidClassifier classifier(shape);
  for (const kocct::FaceMesh& face : faces) {
    const TopoDS_Shape exact = faceOf(shape, face.faceIndex);
    for (std::size_t i = 0; i < face.positions.size() / 3; ++i) {
      BRepExtrema_DistShapeShape distance(BRepBuilderAPI_MakeVertex(pointAt(face.positions, i)), exact);
      ASSERT_TRUE(distance.IsDone());
      EXPECT_LE(distance.Value(), chord) << "face " << face.faceIndex << " vertex " << i;
    }
    // Just outside each triangle (along its winding normal) is outside the solid, just inside inside; normals agree.
    for (std::size_t t = 0; t < face.triangles.size() / 3; t += 7) {
      const auto [a, b, c] = corners(face, t);
      const gp_Vec n = gp_Vec(a, b).Crossed(gp_Vec(a, c)).Normalized();
      const gp_Pnt centre((a.XYZ() + b.XYZ() + c.XYZ()) / 3.0);
      classifier.Perform(centre.Translated(n * 0.01), 1e-7);
      EXPECT_EQ(classifier.State(), TopAbs_OUT) << "face " << face.faceIndex;
      classifier.Perform(centre.Translated(n * -0.01), 1e-7);
      EXPECT_EQ(classifier.State(), TopAbs_IN) << "face " << face.faceIndex;
      const gp_Vec vertexNormal(pointAt(face.normals, face.triangles[3 * t]).XYZ());
      EXPECT_GT(vertexNormal.Dot(n), 0.5) << "face " << face.faceIndex;
    }
  }
  kocct::deleteParts(1, &tag);
}

double meshArea(const std::vector<kocct::FaceMesh>& faces) {
  double area = 0.0;
  for (const kocct::FaceMesh& f : faces)
    for (std::size_t t = 0; t < f.triangles.size() / 3; ++t) {
      const auto [a, b, c] = corners(f, t);
      area += 0.5 * gp_Vec(a, b).Crossed(gp_Vec(a, c)).Magnitude();
    }
  return area;
}

TEST_F(Tessellation, MeshAreaApproachesTheExactAreaAsTheLevelRises) {
  const int tag = addShape(sphere(10.0));
  const double exact = areaOf(sphere(10.0));
  double lastError = 1.0;
  for (int level = 0; level <= 2; ++level) {
    MvKMBrep::KmBrepTessParams params;
    MvKMBrep::initializeTessParam(params, level);
    MvKMBrep::conditionTessParam(params, 34.64f);
    std::vector<kocct::FaceMesh> faces;
    ASSERT_EQ(kocct::tessellateFaces(tag, kocctapp::chordTolerance(params), kocctapp::angleTolerance(params), faces),
              kocct::kOk);
    const double error = std::abs(meshArea(faces) - exact) / exact;
    EXPECT_LT(error, lastError) << "level " << level;
    lastError = error;
  }
  EXPECT_LT(lastError, 5e-3);
  kocct::deleteParts(1, &tag);
}

TEST_F(Tessellation, EdgePolylinesLieOnTheFaceMeshAndAreRendered) {
  const int tag = addShape(blockWithHole());
  std::vector<kocct::FaceMesh> faces;
  std::vector<std::vector<float>> lines;
  ASSERT_EQ(kocct::tessellateFaces(tag, 0.1, 0.4, faces), kocct::kOk);
  ASSERT_EQ(kocct::tessellateEdges(tag, 0.1, 0.4, lines), kocct::kOk);
  std::set<std::array<float, 3>> vertices;
  for (const kocct::FaceMesh& f : faces)
    for (std::size_t i = 0; i < f.positions.size(); i += 3)
      vertices.insert({f.positions[i], f.positions[i + 1], f.positions[i + 2]});
  EXPECT_EQ(lines.size(), 15u);  // 12 block edges, 2 hole circles, 1 seam
  for (const std::vector<float>& line : lines)
    for (std::size_t i = 0; i < line.size(); i += 3)
      EXPECT_EQ(vertices.count({line[i], line[i + 1], line[i + 2]}), 1u);

  std::vector<kocctapp::Segment> drawn;
  kocctapp::setSegmentSink(&drawn);
  EXPECT_EQ(kocct::render(tag, 0.1, 0.4), 0);
  kocctapp::setSegmentSink(nullptr);
  kocct::deleteParts(1, &tag);
  ASSERT_EQ(drawn.size(), lines.size());
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    EXPECT_EQ(drawn[i].tag, tag);
    EXPECT_EQ(drawn[i].index, static_cast<int>(i));
    ASSERT_EQ(drawn[i].points.size(), lines[i].size());
    for (std::size_t k = 0; k < lines[i].size(); ++k) EXPECT_EQ(static_cast<float>(drawn[i].points[k]), lines[i][k]);
  }
}

TEST_F(Tessellation, ColorMergingGivesOneShapePerDistinctColor) {
  const kocct::Rgba red{1, 0, 0, 1}, blue{0, 0, 1, 1};
  // Seven faces in two colours on one part, and a sphere in red.
  std::vector<kocct::Rgba> colors(7, red);
  colors[2] = colors[5] = colors[6] = blue;
  MvAutoPtr<MvKMBrep> element = elementOf({addShape(blockWithHole(), colors), addShape(sphere(3.0), {red})});
  EXPECT_EQ(element->haveColorAttr(), 1u);
  MvKMBrep::KmBrepTessParams params;
  MvKMBrep::initializeTessParam(params, 0);
  MvAutoPtrVec<MvTriStripSet> shapes;
  ASSERT_EQ(element->getMvColorShapeList(params, shapes), 1u);
  EXPECT_EQ(shapes.length(), 2);
  MvAutoPtrVec<MvPolylineSet> edges;
  MvKMBrep::initializeTessParam(params, 0);
  ASSERT_EQ(element->getMvEdgeShape(params, edges), 1u);
  EXPECT_EQ(edges.length(), 2);
}

}  // namespace
}  // namespace occttest
