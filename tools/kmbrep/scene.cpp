#include "kmbrep/scene.h"

#include "kmbrep/kernels.h"
#include "kmbrep/model_io.h"
#include "kmbrep/output_file.h"
#include "kmbrep/progress.h"

#include <cmath>

namespace kmbrep {

namespace {

// Sizes a relative record to the element's diagonal, as the element's own
// tessellation would, so that each part can be tessellated alone with it.
void sizeToElement(const MvKMBrep& element, MvKMBrep::KmBrepTessParams& params) {
  MvBox3f box;
  if (!element.getBBox(box)) throw toolError("cannot size the tessellation to the model");
  const MvVec3<float> d = box.getMax() - box.getMin();
  const float diagonal = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  if (!(diagonal > 0.0f)) throw ToolError("cannot size the tessellation to the model: it has no extent");
  MvKMBrep::conditionTessParam(params, diagonal);
}

// A part's name: the kernel's name for it where it keeps one (Open CASCADE
// parts), else its element and its place in the element.
std::string partName(int tag, size_t element, int part) {
  PartFacts facts;
  if (partFacts(tag, facts) && !facts.name.empty()) return facts.name;
  return "element " + std::to_string(element) + " part " + std::to_string(part);
}

}  // namespace

long long triangleCount(const SceneNode& node) {
  long long n = 0;
  for (const MvTriStripSet* s : node.shapes) n += s->triangleCount();
  return n;
}

Scene wholeScene(const DisplayModel& model, int parts) {
  Scene scene;
  SceneNode node;
  node.name = "model";
  for (int i = 0; i < model.shapes.length(); ++i) node.shapes.push_back(model.shapes[i].get());
  for (int i = 0; i < model.edges.length(); ++i) node.edges.push_back(model.edges[i].get());
  scene.triangles = triangleCount(node);
  scene.parts = parts;
  scene.nodes.push_back(std::move(node));
  return scene;
}

PartModel::PartModel(const std::vector<MvKMBrep*>& elements, const TessChoice& choice) {
  ProgressMeter meter("tessellating", "bodies");
  for (size_t e = 0; e < elements.size(); ++e) {
    const MvKMBrep& element = *elements[e];
    if (element.isEmpty()) continue;
    MvKMBrep::KmBrepTessParams params = tessParams(choice);
    sizeToElement(element, params);
    for (int p = 0; p < element.kmPart().length(); ++p) {
      // A second element that borrows the part (not its owner), so the part
      // is tessellated alone and stays with its element afterwards.
      MvAutoPtr<MvKMBrep> single(new MvKMBrep());
      MvVec<int> tag;
      MvErrorState::clear();
      if (!single || !tag.append(element.kmPart()[p]) || !single->appendKmPart(tag, 1))
        throw toolError("cannot hold a part for its own tessellation");
      const int firstShape = _shapes.length(), firstEdge = _edges.length();
      if (!single->getMvColorShapeList(params, _shapes))
        throw toolError("cannot tessellate the faces of the model");
      if (!single->getMvEdgeShape(params, _edges)) throw toolError("cannot tessellate the edges of the model");
      SceneNode node;
      node.name = partName(element.kmPart()[p], e, p);
      for (int i = firstShape; i < _shapes.length(); ++i) node.shapes.push_back(_shapes[i].get());
      for (int i = firstEdge; i < _edges.length(); ++i) node.edges.push_back(_edges[i].get());
      _scene.triangles += triangleCount(node);
      _scene.nodes.push_back(std::move(node));
      meter.add(1);
    }
  }
  _scene.parts = static_cast<int>(_scene.nodes.size());
}

}  // namespace kmbrep
