// Writing parts as a STEP file with names and colours.
#include <IFSelect_ReturnStatus.hxx>
#include <Quantity_ColorRGBA.hxx>
#include <STEPCAFControl_Writer.hxx>
#include <STEPControl_StepModelType.hxx>
#include <TDataStd_Name.hxx>
#include <TopExp.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <XCAFDoc_ColorTool.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>

#include "internal.h"
#include "xcaf_document.h"

namespace kocct {
namespace {

Quantity_ColorRGBA toColor(const Rgba& c) { return Quantity_ColorRGBA(c.r, c.g, c.b, c.a); }

// One product per part, with its name, its colour and its faces' colours
// where they differ from the part's.
void addProduct(detail::XcafDocument& doc, const Part& part) {
  Handle(XCAFDoc_ShapeTool) shapes = XCAFDoc_DocumentTool::ShapeTool(doc.handle()->Main());
  Handle(XCAFDoc_ColorTool) colors = XCAFDoc_DocumentTool::ColorTool(doc.handle()->Main());
  const TDF_Label label = shapes->AddShape(part.shape, false);
  TDataStd_Name::Set(label, TCollection_ExtendedString(part.name.c_str(), true));
  if (part.color.isSet()) colors->SetColor(label, toColor(part.color), XCAFDoc_ColorSurf);
  if (part.faceColors.empty()) return;
  TopTools_IndexedMapOfShape faces;
  TopExp::MapShapes(part.shape, TopAbs_FACE, faces);
  for (int i = 1; i <= faces.Extent(); ++i) {
    const Rgba& c = part.faceColors[static_cast<std::size_t>(i - 1)];
    if (!c.isSet()) continue;
    if (part.color.isSet() && c.r == part.color.r && c.g == part.color.g && c.b == part.color.b &&
        c.a == part.color.a) {
      continue;
    }
    const TDF_Label face = shapes->AddSubShape(label, faces(i));
    if (!face.IsNull()) colors->SetColor(face, toColor(c), XCAFDoc_ColorSurf);
  }
}

}  // namespace

int exportStep(const std::string& path, const std::vector<int>& tags) {
  detail::clearError();
  return detail::guarded([&] {
    detail::State& s = detail::state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    detail::XcafDocument doc;
    for (int tag : tags) {
      const Part* part = detail::findPart(s, tag);
      if (!part) return static_cast<int>(kErrNoSuchPart);
      addProduct(doc, *part);
    }
    STEPCAFControl_Writer writer;
    writer.SetColorMode(true);
    writer.SetNameMode(true);
    if (!writer.Transfer(doc.handle(), STEPControl_AsIs) || writer.Write(path.c_str()) != IFSelect_RetDone) {
      return detail::fail(kErrModelFile, "cannot write '" + path + "'");
    }
    return static_cast<int>(kOk);
  });
}

}  // namespace kocct
