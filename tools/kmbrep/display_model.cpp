#include "kmbrep/display_model.h"
#include "kmbrep/kernels.h"

#include "app/sample_app.h"
#include "kmbrep/model_io.h"
#include "kmbrep/output_file.h"
#include "kmbrep/progress.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace kmbrep {

namespace {

// A colour as a hash key: the bits of its four floats, with -0 read as +0 so
// that the key agrees with MvVec4's ==. (NaN components, which equal
// nothing, each keep their own bits.)
struct ColorKey {
  std::uint32_t bits[4];
  bool operator==(const ColorKey& o) const { return std::memcmp(bits, o.bits, sizeof bits) == 0; }
};

ColorKey keyOf(const MvVec4<float>& c) {
  ColorKey key{};
  for (int i = 0; i < 4; ++i) {
    const float v = c[i] == 0.0f ? 0.0f : c[i];
    std::memcpy(&key.bits[i], &v, sizeof v);
  }
  return key;
}

struct ColorHash {
  std::size_t operator()(const ColorKey& k) const {
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint32_t b : k.bits) h = (h ^ b) * 1099511628211ull;
    return static_cast<std::size_t>(h ^ h >> 29);
  }
};

// One material per distinct colour over all shapes of the file, found in
// one pass through a hash of the colours seen.
void assignMaterials(DisplayModel& model) {
  std::unordered_map<ColorKey, int, ColorHash> index;
  model.materialOf.resize(static_cast<std::size_t>(model.shapes.length()));
  for (int s = 0; s < model.shapes.length(); ++s) {
    const MvVec4<float> c = shapeColor(*model.shapes[s]);
    const auto found = index.emplace(keyOf(c), static_cast<int>(model.materials.size()));
    if (found.second) model.materials.push_back(c);
    model.materialOf[static_cast<std::size_t>(s)] = found.first->second;
  }
  model.colors = static_cast<int>(model.materials.size());
}

}  // namespace

MvKMBrep::KmBrepTessParams tessParams(const TessChoice& choice) {
  MvKMBrep::KmBrepTessParams params{};
  if (choice.absolute)
    MvKMBrep::initializeAbsTessParam(params);
  else
    MvKMBrep::initializeTessParam(params, choice.level);
  return params;
}

MvVec4<float> shapeColor(const MvTriStripSet& shape) {
  for (int i = 0; i < shape.attributeCount(); ++i) {
    if (const auto* material = dynamic_cast<const MvMaterial*>(shape.attribute(i)))
      return material->diffuseColor();
  }
  return MvVec4<float>{{0.7f, 0.7f, 0.7f, 1.0f}};
}

long long estimateTriangles(const std::vector<MvKMBrep*>& elements, const TessChoice& choice) {
  long long total = 0;
  for (MvKMBrep* e : elements) {
    if (e->isEmpty()) continue;
    // Sized as the library sizes the record for the element's tessellation:
    // once, from the diagonal of the element's box.
    MvKMBrep::KmBrepTessParams params = tessParams(choice);
    MvBox3f box;
    MvErrorState::clear();
    if (!e->getBBox(box)) throw toolError("cannot tessellate the model: it has no bounding box");
    const MvVec3<float> d = box.getMax() - box.getMin();
    MvKMBrep::conditionTessParam(params, std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]));
    for (int p = 0; p < e->kmPart().length(); ++p) {
      const long long n = faceTriangleCount(e->kmPart()[p], params);
      if (n > 0) total += n;
    }
  }
  return total;
}

DisplayModel tessellate(const std::vector<MvKMBrep*>& elements, const TessChoice& choice) {
  DisplayModel model;
  ProgressMeter meter("tessellating", "bodies");
  for (MvKMBrep* e : elements) {
    if (e->isEmpty()) continue;
    MvKMBrep::KmBrepTessParams params = tessParams(choice);
    MvErrorState::clear();
    if (!e->getMvColorShapeList(params, model.shapes))
      throw toolError("cannot tessellate the faces of the model");
    if (!e->getMvEdgeShape(params, model.edges)) throw toolError("cannot tessellate the edges of the model");
    meter.add(e->kmPart().length());
  }
  for (int i = 0; i < model.shapes.length(); ++i) model.triangles += model.shapes[i]->triangleCount();
  assignMaterials(model);
  for (int i = 0; i < model.edges.length(); ++i) model.polylines += model.edges[i]->polylineCount();
  return model;
}

}  // namespace kmbrep
