#include "occt/model_fixture.h"

#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRep_Builder.hxx>
#include <Quantity_Color.hxx>
#include <TDataStd_Name.hxx>
#include <TopExp.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS_Compound.hxx>
#include <XCAFDoc_ColorTool.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <gp_Ax2.hxx>
#include <gp_Trsf.hxx>

#include "occt/occt_support.h"

namespace occttest {
namespace {

TopoDS_Shape faceOf(const TopoDS_Shape& shape, int index) {
  TopTools_IndexedMapOfShape faces;
  TopExp::MapShapes(shape, TopAbs_FACE, faces);
  return faces(index + 1);
}

void fillModel(const Handle(TDocStd_Document)& doc) {
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
}

}  // namespace

void writeColoredModel(const std::string& path, const char* unit) { writeStep(path, fillModel, unit); }

}  // namespace occttest
