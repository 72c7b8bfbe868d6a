// Reading STEP, IGES and BREP model files into parts.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <IFSelect_ReturnStatus.hxx>
#include <IGESCAFControl_Reader.hxx>
#include <Interface_Static.hxx>
#include <STEPCAFControl_Reader.hxx>
#include <TDataStd_Name.hxx>
#include <TDocStd_Document.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <XCAFPrs.hxx>
#include <XCAFPrs_DocumentExplorer.hxx>
#include <XCAFPrs_IndexedDataMapOfShapeStyle.hxx>

#include "internal.h"
#include "xcaf_document.h"

namespace kocct {
namespace {

using detail::fail;

enum class ModelType { Unknown, Step, Iges, Brep };

std::string lowerExtension(const std::string& path) {
  const std::size_t dot = path.find_last_of('.');
  const std::size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

ModelType modelType(const std::string& path) {
  const std::string ext = lowerExtension(path);
  if (ext == "step" || ext == "stp") return ModelType::Step;
  if (ext == "iges" || ext == "igs") return ModelType::Iges;
  if (ext == "brep") return ModelType::Brep;
  return ModelType::Unknown;
}

std::string stem(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

int cannotRead(const std::string& path, const std::string& why) {
  return fail(kErrModelFile, "cannot read '" + path + "': " + why);
}

// OCCT keeps the colour values as the file stores them (its linear RGB).
Rgba toRgba(const Quantity_ColorRGBA& c) {
  Rgba out;
  out.r = std::clamp(static_cast<float>(c.GetRGB().Red()), 0.0f, 1.0f);
  out.g = std::clamp(static_cast<float>(c.GetRGB().Green()), 0.0f, 1.0f);
  out.b = std::clamp(static_cast<float>(c.GetRGB().Blue()), 0.0f, 1.0f);
  out.a = std::clamp(c.Alpha(), 0.0f, 1.0f);
  return out;
}

// Solids become one part each; a shape without solids becomes one part of
// all its shells and faces. The faces' colours are looked up in faceColours,
// indexed like productFaces.
void splitIntoParts(const TopoDS_Shape& product, const TopLoc_Location& placement, const std::string& name,
                    const Rgba& color, const TopTools_IndexedMapOfShape& productFaces,
                    const std::vector<Rgba>& faceColors, std::vector<Part>& parts) {
  auto makePart = [&](const TopoDS_Shape& shape) {
    Part part;
    part.shape = shape.Moved(placement);
    part.name = name;
    part.color = color;
    if (!faceColors.empty()) {
      TopTools_IndexedMapOfShape faces;
      TopExp::MapShapes(shape, TopAbs_FACE, faces);
      part.faceColors.resize(static_cast<std::size_t>(faces.Extent()));
      for (int i = 1; i <= faces.Extent(); ++i) {
        const int at = productFaces.FindIndex(faces(i));
        if (at > 0) part.faceColors[static_cast<std::size_t>(i - 1)] = faceColors[static_cast<std::size_t>(at - 1)];
      }
    }
    parts.push_back(std::move(part));
  };
  bool anySolid = false;
  for (TopExp_Explorer solid(product, TopAbs_SOLID); solid.More(); solid.Next()) {
    anySolid = true;
    makePart(solid.Current());
  }
  if (!anySolid && productFaces.Extent() > 0) makePart(product);
}

// The colour of every face of a product: its own, else that of the smallest
// shape around it that has one (shell, solid, compound), else `fallback`.
std::vector<Rgba> faceColorsOf(const TDF_Label& product, const TopTools_IndexedMapOfShape& faces,
                                const Rgba& fallback) {
  std::vector<Rgba> colors(static_cast<std::size_t>(faces.Extent()), fallback);
  std::vector<int> rank(colors.size(), -1);
  XCAFPrs_IndexedDataMapOfShapeStyle styles;
  XCAFPrs::CollectStyleSettings(product, TopLoc_Location(), styles);
  for (XCAFPrs_IndexedDataMapOfShapeStyle::Iterator it(styles); it.More(); it.Next()) {
    if (!it.Value().IsSetColorSurf()) continue;
    const TopoDS_Shape& key = it.Key();
    const int keyRank = static_cast<int>(key.ShapeType());  // larger is more specific
    const Rgba color = toRgba(it.Value().GetColorSurfRGBA());
    TopTools_IndexedMapOfShape covered;
    TopExp::MapShapes(key, TopAbs_FACE, covered);
    for (int i = 1; i <= covered.Extent(); ++i) {
      const int at = faces.FindIndex(covered(i)) - 1;
      if (at >= 0 && keyRank > rank[static_cast<std::size_t>(at)]) {
        rank[static_cast<std::size_t>(at)] = keyRank;
        colors[static_cast<std::size_t>(at)] = color;
      }
    }
  }
  return colors;
}

std::string labelName(const TDF_Label& label) {
  Handle(TDataStd_Name) name;
  if (label.FindAttribute(TDataStd_Name::GetID(), name)) {
    TCollection_AsciiString text(name->Get());
    return text.ToCString();
  }
  return "";
}

// Every leaf product of the document, placed, split into parts.
void partsOfDocument(const Handle(TDocStd_Document)& doc, const std::string& fallbackName, std::vector<Part>& parts) {
  for (XCAFPrs_DocumentExplorer node(doc, XCAFPrs_DocumentExplorerFlags_OnlyLeafNodes); node.More(); node.Next()) {
    const XCAFPrs_DocumentNode& leaf = node.Current();
    TopoDS_Shape product;
    if (!XCAFDoc_ShapeTool::GetShape(leaf.RefLabel, product) || product.IsNull()) continue;
    TopTools_IndexedMapOfShape faces;
    TopExp::MapShapes(product, TopAbs_FACE, faces);
    if (faces.Extent() == 0) continue;
    const Rgba color = leaf.Style.IsSetColorSurf() ? toRgba(leaf.Style.GetColorSurfRGBA()) : Rgba();
    std::string name = labelName(leaf.RefLabel);
    if (name.empty()) name = labelName(leaf.Label);
    if (name.empty()) name = fallbackName;
    const std::vector<Rgba> faceColors = faceColorsOf(leaf.RefLabel, faces, color);
    splitIntoParts(product, leaf.Location, name, color, faces, faceColors, parts);
  }
}

// A STEP file that parses has a valid structure, so nothing to transfer
// means an empty model; the IGES reader accepts almost any text, so there it
// means a file that is no IGES.
template <class Reader>
int readThroughDocument(Reader& reader, const std::string& path, const char* what, bool strictSyntax,
                        std::vector<Part>& parts) {
  reader.SetColorMode(true);
  reader.SetNameMode(true);
  reader.SetLayerMode(false);
  const std::string invalid = std::string("not a valid ") + what + " file";
  if (reader.ReadFile(path.c_str()) != IFSelect_RetDone) return cannotRead(path, invalid);
  if (reader.NbRootsForTransfer() == 0) {
    return strictSyntax ? fail(kErrEmptyModel, "the model is empty") : cannotRead(path, invalid);
  }
  detail::XcafDocument doc;
  if (!reader.Transfer(doc.handle())) return cannotRead(path, std::string("no shape could be taken from the ") + what + " data");
  partsOfDocument(doc.handle(), stem(path), parts);
  return kOk;
}

// OCCT's BREP files name their format in their first lines; OCCT's reader
// prints to standard output about a file that does not, so such a file is
// refused before it gets there.
bool looksLikeBrep(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string head(256, '\0');
  in.read(&head[0], static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  return head.find("CASCADE Topology V") != std::string::npos;
}

int readBrep(const std::string& path, std::vector<Part>& parts) {
  if (!looksLikeBrep(path)) return cannotRead(path, "not a valid BREP file");
  TopoDS_Shape shape;
  BRep_Builder builder;
  if (!BRepTools::Read(shape, path.c_str(), builder) || shape.IsNull()) return cannotRead(path, "not a valid BREP file");
  TopTools_IndexedMapOfShape faces;
  TopExp::MapShapes(shape, TopAbs_FACE, faces);
  splitIntoParts(shape, TopLoc_Location(), stem(path), Rgba(), faces, {}, parts);
  return kOk;
}

int readModel(const std::string& path, std::vector<Part>& parts) {
  const ModelType type = modelType(path);
  if (type == ModelType::Unknown) return cannotRead(path, "unknown model type (use .step, .stp, .iges, .igs or .brep)");
  {
    std::ifstream probe(path, std::ios::binary);
    if (!probe) return cannotRead(path, std::strerror(errno));
  }
  // Lengths come out in millimetres whatever unit the file uses.
  Interface_Static::SetCVal("xstep.cascade.unit", "MM");
  switch (type) {
    case ModelType::Step: {
      STEPCAFControl_Reader reader;
      return readThroughDocument(reader, path, "STEP", true, parts);
    }
    case ModelType::Iges: {
      IGESCAFControl_Reader reader;
      return readThroughDocument(reader, path, "IGES", false, parts);
    }
    default:
      return readBrep(path, parts);
  }
}

}  // namespace

int importModel(const std::string& path, std::vector<int>& tags) {
  detail::clearError();
  tags.clear();
  return detail::guarded([&] {
    detail::State& s = detail::state();
    {
      std::lock_guard<std::recursive_mutex> lock(s.mutex);
      if (!s.started) return fail(kErrNotStarted, "no kernel session is running");
    }
    std::vector<Part> parts;
    // The readers share OCCT's static parameters, so one model is read at a time.
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    const int status = readModel(path, parts);
    if (status != kOk) return status;
    if (parts.empty()) return fail(kErrEmptyModel, "the model is empty");
    std::vector<int> fresh(parts.size());
    const int entered = detail::enterParts(s, parts, fresh.data());
    if (entered == kOk) tags = std::move(fresh);
    return entered;
  });
}

}  // namespace kocct
