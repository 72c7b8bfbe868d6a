#include "app/demo_bracket.h"

#include <cmath>

#include <BRepAlgoAPI_Cut.hxx>
#include <BRepAlgoAPI_Fuse.hxx>
#include <BRepFilletAPI_MakeFillet.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRep_Tool.hxx>
#include <GProp_GProps.hxx>
#include <BRepGProp.hxx>
#include <Geom_CylindricalSurface.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>
#include <gp_Ax2.hxx>

namespace kocctapp {
namespace {

constexpr double kLength = 80, kWidth = 40, kThick = 8, kHeight = 50, kHoleRadius = 4;

gp_Pnt centreOf(const TopoDS_Shape& shape) {
  GProp_GProps props;
  BRepGProp::LinearProperties(shape, props);
  return props.CentreOfMass();
}

TopoDS_Shape hole(const gp_Pnt& from, const gp_Dir& along) {
  return BRepPrimAPI_MakeCylinder(gp_Ax2(from, along), kHoleRadius, 3 * kThick).Shape();
}

// An L of a base plate and an upright, the inner corner filleted, two holes
// through the base and one through the upright.
TopoDS_Shape bracketShape() {
  const TopoDS_Shape base = BRepPrimAPI_MakeBox(kLength, kWidth, kThick).Shape();
  const TopoDS_Shape upright = BRepPrimAPI_MakeBox(kThick, kWidth, kHeight).Shape();
  TopoDS_Shape shape = BRepAlgoAPI_Fuse(base, upright).Shape();
  BRepFilletAPI_MakeFillet fillet(shape);
  for (TopExp_Explorer e(shape, TopAbs_EDGE); e.More(); e.Next()) {
    const gp_Pnt c = centreOf(e.Current());
    if (std::abs(c.X() - kThick) < 1e-6 && std::abs(c.Z() - kThick) < 1e-6) fillet.Add(5.0, TopoDS::Edge(e.Current()));
  }
  shape = fillet.Shape();
  for (double x : {40.0, 65.0}) shape = BRepAlgoAPI_Cut(shape, hole(gp_Pnt(x, kWidth / 2, -kThick), gp::DZ())).Shape();
  return BRepAlgoAPI_Cut(shape, hole(gp_Pnt(-kThick, kWidth / 2, 32), gp::DX())).Shape();
}

bool isCylinder(const TopoDS_Face& face) {
  return BRep_Tool::Surface(face)->IsKind(STANDARD_TYPE(Geom_CylindricalSurface));
}

kocct::Part bracket() {
  kocct::Part part;
  part.shape = bracketShape();
  part.name = "bracket";
  part.color = {0.27f, 0.51f, 0.71f, 1.0f};
  TopTools_IndexedMapOfShape faces;
  TopExp::MapShapes(part.shape, TopAbs_FACE, faces);
  part.faceColors.resize(static_cast<std::size_t>(faces.Extent()));
  for (int i = 1; i <= faces.Extent(); ++i) {
    const TopoDS_Face& face = TopoDS::Face(faces(i));
    const gp_Pnt c = centreOf(face);
    kocct::Rgba& color = part.faceColors[static_cast<std::size_t>(i - 1)];
    if (isCylinder(face) && std::abs(c.Z() - 32) > 1 && c.Z() < kThick + 1e-6) {
      color = {0.85f, 0.15f, 0.15f, 1.0f};  // the base's holes
    } else if (isCylinder(face) && std::abs(c.X() - kThick / 2) < 1e-6) {
      color = {0.85f, 0.15f, 0.15f, 1.0f};  // the upright's hole
    } else if (std::abs(c.Z() - kHeight) < 1e-6) {
      color = {1.0f, 0.6f, 0.1f, 1.0f};  // the upright's top
    }
  }
  return part;
}

kocct::Part pin() {
  kocct::Part part;
  part.shape = BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(65, kWidth / 2, -4), gp::DZ()), kHoleRadius, 20).Shape();
  part.name = "pin";
  part.color = {0.2f, 0.7f, 0.3f, 1.0f};
  return part;
}

}  // namespace

std::vector<kocct::Part> bracketParts() { return {bracket(), pin()}; }

std::vector<kocct::Part> bracketGrid(int rows, int columns) {
  const std::vector<kocct::Part> one = bracketParts();
  std::vector<kocct::Part> parts;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      gp_Trsf move;
      move.SetTranslation(gp_Vec(120.0 * c, 120.0 * r, 0));
      for (kocct::Part p : one) {
        p.shape = p.shape.Moved(TopLoc_Location(move));
        parts.push_back(std::move(p));
      }
    }
  }
  return parts;
}

}  // namespace kocctapp
