#include "kmbrep/display_model.h"

#include "kmbrep/model_io.h"
#include "kmbrep/output_file.h"

namespace kmbrep {

MvVec4<float> shapeColour(const MvTriStripSet& shape) {
  for (int i = 0; i < shape.attributeCount(); ++i) {
    if (const auto* material = dynamic_cast<const MvMaterial*>(shape.attribute(i)))
      return material->diffuseColor();
  }
  return MvVec4<float>{{0.7f, 0.7f, 0.7f, 1.0f}};
}

DisplayModel tessellate(const std::vector<MvKMBrep*>& elements, const TessChoice& choice) {
  DisplayModel model;
  for (MvKMBrep* e : elements) {
    if (e->isEmpty()) continue;
    MvKMBrep::KmBrepTessParams params{};
    if (choice.absolute)
      MvKMBrep::initializeAbsTessParam(params);
    else
      MvKMBrep::initializeTessParam(params, choice.level);
    MvErrorState::clear();
    if (!e->getMvColorShapeList(params, model.shapes))
      throw ToolError{"tessellation failed: " + firstReport("faces")};
    if (!e->getMvEdgeShape(params, model.edges)) throw ToolError{"tessellation failed: " + firstReport("edges")};
  }
  std::vector<MvVec4<float>> seen;
  for (int i = 0; i < model.shapes.length(); ++i) {
    model.triangles += model.shapes[i]->triangleCount();
    const MvVec4<float> c = shapeColour(*model.shapes[i]);
    bool known = false;
    for (const MvVec4<float>& s : seen) known = known || s == c;
    if (!known) seen.push_back(c);
  }
  model.colours = static_cast<int>(seen.size());
  for (int i = 0; i < model.edges.length(); ++i) model.polylines += model.edges[i]->polylineCount();
  return model;
}

}  // namespace kmbrep
