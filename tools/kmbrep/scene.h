// What an export draws: named nodes, each with colour-merged face shapes and
// edge polylines. The whole model is one node; with the part structure kept,
// every part is a node of its own.
#ifndef KMBREP_SCENE_H
#define KMBREP_SCENE_H

#include "kmbrep/display_model.h"

#include <string>
#include <vector>

namespace kmbrep {

struct SceneNode {
  std::string name;
  std::vector<const MvTriStripSet*> shapes;  // one per colour
  std::vector<const MvPolylineSet*> edges;
};

struct Scene {
  std::vector<SceneNode> nodes;
  long long triangles = 0;
  int parts = 0;
};

// The model as one node named "model"; the scene points into the model.
Scene wholeScene(const DisplayModel& model, int parts);

// Face shapes merged by colour per part, and the part's edges. Every part is
// tessellated with the tolerances its element's size gives, so the facets
// match those of the merged model.
class PartModel {
 public:
  // Throws ToolError when the library reports a failure.
  PartModel(const std::vector<MvKMBrep*>& elements, const TessChoice& choice);
  const Scene& scene() const { return _scene; }

 private:
  MvAutoPtrVec<MvTriStripSet> _shapes;
  MvAutoPtrVec<MvPolylineSet> _edges;
  Scene _scene;
};

// Triangles of a node's shapes.
long long triangleCount(const SceneNode& node);

}  // namespace kmbrep

#endif
