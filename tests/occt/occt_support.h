// The Open CASCADE adapter tests' set-up: the host application per test, shapes and STEP files made with OCCT.
#ifndef TESTS_OCCT_SUPPORT_H
#define TESTS_OCCT_SUPPORT_H

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <BRepAlgoAPI_Cut.hxx>
#include <BRepBndLib.hxx>
#include <BRepGProp.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRepPrimAPI_MakeSphere.hxx>
#include <BRep_Builder.hxx>
#include <Bnd_Box.hxx>
#include <GProp_GProps.hxx>
#include <IFSelect_ReturnStatus.hxx>
#include <Interface_Static.hxx>
#include <Quantity_Color.hxx>
#include <STEPCAFControl_Writer.hxx>
#include <TDataStd_Name.hxx>
#include <TDocStd_Document.hxx>
#include <TopExp.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Shape.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_ColorTool.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <gp_Ax2.hxx>
#include <gp_Trsf.hxx>

#include "app/occt_app.h"
#include "support/app_test.h"
#include "support/elements.h"
#include "support/test_files.h"

namespace occttest {

using testfiles::elementOf;
using testfiles::partsOf;
using testfiles::readAll;
using testfiles::tempPath;
using testfiles::writeAll;

// A 40 x 20 x 10 block with a through hole of radius 4 (one cylindrical face).
inline TopoDS_Shape blockWithHole() {
  const TopoDS_Shape block = BRepPrimAPI_MakeBox(40.0, 20.0, 10.0).Shape();
  const TopoDS_Shape hole = BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(20, 10, -1), gp::DZ()), 4.0, 12.0).Shape();
  return BRepAlgoAPI_Cut(block, hole).Shape();
}

inline TopoDS_Shape sphere(double r) { return BRepPrimAPI_MakeSphere(r).Shape(); }

// Solid volume and summed face area.
inline double volumeOf(const TopoDS_Shape& shape) {
  GProp_GProps props;
  BRepGProp::VolumeProperties(shape, props);
  return props.Mass();
}

inline double areaOf(const TopoDS_Shape& shape) {
  GProp_GProps props;
  BRepGProp::SurfaceProperties(shape, props);
  return props.Mass();
}

// The sub-shapes of a type, numbered from 1; their count; face `index` (from 0).
inline TopTools_IndexedMapOfShape subShapes(const TopoDS_Shape& shape, TopAbs_ShapeEnum type) {
  TopTools_IndexedMapOfShape map;
  TopExp::MapShapes(shape, type, map);
  return map;
}

inline int countOf(const TopoDS_Shape& shape, TopAbs_ShapeEnum type) { return subShapes(shape, type).Extent(); }

inline TopoDS_Shape faceOf(const TopoDS_Shape& shape, int index) { return subShapes(shape, TopAbs_FACE)(index + 1); }

// Writes a small STEP model (in millimetres, or the given unit such as "INCH") with every kind of colour and an
// assembly; fails the test when it cannot. Its parts, in order: "block" twice (an assembly's two instances, the
// second moved by (0, 50, 0) and turned a quarter about z; product colour red, face 1 green), then the two solids
// of product "pair" (a 10 mm cube coloured blue as a solid, a cylinder with one face coloured yellow).
inline void writeColoredModel(const std::string& path, const char* unit = "MM") {
  Handle(TDocStd_Document) doc;
  XCAFApp_Application::GetApplication()->NewDocument("MDTV-XCAF", doc);
  Handle(XCAFDoc_ShapeTool) shapes = XCAFDoc_DocumentTool::ShapeTool(doc->Main());
  Handle(XCAFDoc_ColorTool) colors = XCAFDoc_DocumentTool::ColorTool(doc->Main());
  const Quantity_Color red(1, 0, 0, Quantity_TOC_RGB), green(0, 1, 0, Quantity_TOC_RGB),
      blue(0, 0, 1, Quantity_TOC_RGB), yellow(1, 1, 0, Quantity_TOC_RGB);

  const TopoDS_Shape block = blockWithHole();
  const TDF_Label blockLabel = shapes->AddShape(block, false);
  TDataStd_Name::Set(blockLabel, "block");
  colors->SetColor(blockLabel, red, XCAFDoc_ColorSurf);
  colors->SetColor(shapes->AddSubShape(blockLabel, faceOf(block, 1)), green, XCAFDoc_ColorSurf);

  const TDF_Label assembly = shapes->NewShape();
  TDataStd_Name::Set(assembly, "bracket pair");
  shapes->AddComponent(assembly, blockLabel, TopLoc_Location());
  gp_Trsf moved;
  moved.SetRotation(gp::OZ(), M_PI / 2);
  moved.SetTranslationPart(gp_Vec(0, 50, 0));
  shapes->AddComponent(assembly, blockLabel, TopLoc_Location(moved));

  const TopoDS_Shape cube = BRepPrimAPI_MakeBox(gp_Pnt(100, 0, 0), 10, 10, 10).Shape();
  const TopoDS_Shape cylinder = BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(130, 0, 0), gp::DZ()), 5, 20).Shape();
  TopoDS_Compound pair;
  BRep_Builder builder;
  builder.MakeCompound(pair);
  builder.Add(pair, cube);
  builder.Add(pair, cylinder);
  const TDF_Label pairLabel = shapes->AddShape(pair, false);
  TDataStd_Name::Set(pairLabel, "pair");
  colors->SetColor(shapes->AddSubShape(pairLabel, cube), blue, XCAFDoc_ColorSurf);
  colors->SetColor(shapes->AddSubShape(pairLabel, faceOf(cylinder, 0)), yellow, XCAFDoc_ColorSurf);
  shapes->UpdateAssemblies();

  Interface_Static::SetCVal("write.step.unit", unit);
  STEPCAFControl_Writer writer;
  const bool ok = writer.Transfer(doc, STEPControl_AsIs) && writer.Write(path.c_str()) == IFSelect_RetDone;
  Interface_Static::SetCVal("write.step.unit", "MM");
  XCAFApp_Application::GetApplication()->Close(doc);
  ASSERT_TRUE(ok) << path;
}

// Imports the model file, expecting success; the caller owns the tags.
inline std::vector<int> importOk(const std::string& path) {
  std::vector<int> tags;
  EXPECT_EQ(kocct::importModel(path, tags), kocct::kOk) << kocct::lastError();
  return tags;
}

// Imports the coloured model written in the unit; the caller owns the tags.
inline std::vector<int> importColoredModel(const char* unit = "MM") {
  const std::string path = tempPath(std::string("coloured_") + unit + ".step");
  writeColoredModel(path, unit);
  return importOk(path);
}

// Expects two colours both unset, or set and equal.
inline void expectSameColor(const kocct::Rgba& a, const kocct::Rgba& b, const std::string& what) {
  EXPECT_EQ(a.isSet(), b.isSet()) << what;
  if (!a.isSet() || !b.isSet()) return;
  for (float kocct::Rgba::*c : {&kocct::Rgba::r, &kocct::Rgba::g, &kocct::Rgba::b, &kocct::Rgba::a})
    EXPECT_FLOAT_EQ(a.*c, b.*c) << what;
}

// Expects two parts equal: name, colours, shape counts, volume to 1e-9 relative and box to 1e-9 of its diagonal.
inline void expectSamePart(int a, int b) {
  kocct::Part pa, pb;
  ASSERT_TRUE(kocct::getPart(a, pa)) << kocct::lastError();
  ASSERT_TRUE(kocct::getPart(b, pb)) << kocct::lastError();
  EXPECT_EQ(pa.name, pb.name);
  expectSameColor(pa.color, pb.color, "part colour");
  ASSERT_EQ(pa.faceColors.size(), pb.faceColors.size());
  for (std::size_t i = 0; i < pa.faceColors.size(); ++i)
    expectSameColor(pa.faceColors[i], pb.faceColors[i], "face " + std::to_string(i));
  for (TopAbs_ShapeEnum type : {TopAbs_SOLID, TopAbs_FACE, TopAbs_EDGE})
    EXPECT_EQ(countOf(pa.shape, type), countOf(pb.shape, type));
  const double va = volumeOf(pa.shape), vb = volumeOf(pb.shape);
  EXPECT_NEAR(va, vb, 1e-9 * std::abs(va));
  Bnd_Box ba, bb;
  BRepBndLib::AddOptimal(pa.shape, ba, false, false);
  BRepBndLib::AddOptimal(pb.shape, bb, false, false);
  const double tol = 1e-9 * std::sqrt(ba.SquareExtent());
  EXPECT_NEAR(ba.CornerMin().Distance(bb.CornerMin()), 0.0, tol);
  EXPECT_NEAR(ba.CornerMax().Distance(bb.CornerMax()), 0.0, tol);
}

// Parts deleted when it goes.
struct OwnedParts {
  std::vector<int> tags;
  ~OwnedParts() { kocct::deleteParts(static_cast<int>(tags.size()), tags.data()); }
};

// The adapter's host application per test.
using OcctTest = testfiles::AppTest<kocctapp::OcctApp, kocctapp::Options, kocct::partCount>;

}  // namespace occttest

#endif
