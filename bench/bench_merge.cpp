// Merging face shapes by colour, against copying the same output floats
// into memory allocated for the pass (faces.h): 1,000,000 triangles in
// 10,000 faces of 16 colours, and 100,000 one-triangle faces of 100,000
// colours (against one block, and against a block per colour group as the
// merged shapes have). The grouping figure merges the 100,000 faces of
// distinct colours against the same faces in 16 colours; its merged shapes
// are checked to come out one per colour, in order of first appearance,
// each with its face and its colour.
#include "faces.h"
#include "paired.h"

namespace mvbench {
namespace {

const Faces& facesOf(int faces, int trianglesPerFace, int colors) {
  static Faces merge;
  static Faces distinct;
  static Faces few;
  Faces& f = trianglesPerFace == 100 ? merge : colors == 16 ? few : distinct;
  if (f.shapes.length() == 0 && !makeFaces(f, faces, trianglesPerFace, colors)) f.triangles = -1;
  return f;
}

void BM_ColorMerge(benchmark::State& state) {
  const Faces& faces = facesOf(10000, 100, 16);
  if (faces.triangles < 0) return state.SkipWithError("faces not made");
  runPaired(state, [&] { return copyPass(faces, 16, false); }, [&] { return mergePass(faces, 16); });
  state.counters["triangles"] = static_cast<double>(faces.triangles);
}

void BM_ColorMergeManyColors(benchmark::State& state, bool perGroup) {
  const Faces& faces = facesOf(100000, 1, 100000);
  if (faces.triangles < 0) return state.SkipWithError("faces not made");
  runPaired(state, [&] { return copyPass(faces, 100000, perGroup); }, [&] { return mergePass(faces, 100000); });
}
void BM_ColorMergeManyColors_OneBlock(benchmark::State& state) { BM_ColorMergeManyColors(state, false); }
void BM_ColorMergeManyColors_PerGroup(benchmark::State& state) { BM_ColorMergeManyColors(state, true); }

// One merged shape per colour, in order of first appearance, each holding
// its face's triangle and a material of its colour.
bool mergedInOrder(const Faces& faces, const MvAutoPtrVec<MvTriStripSet>& merged) {
  if (merged.length() != faces.shapes.length()) return false;
  for (int g = 0; g < merged.length(); ++g) {
    const MvTriStripSet& s = *merged[g];
    const auto* material = s.attributeCount() == 1 ? dynamic_cast<const MvMaterial*>(s.attribute(0)) : nullptr;
    if (!material || material->diffuseColor() != faces.colors[g] || s.triangleCount() != 1 ||
        s.vertices()[2] != faces.shapes[g]->vertices()[2])
      return false;
  }
  return true;
}

void BM_ManyColors(benchmark::State& state) {
  const Faces& distinct = facesOf(100000, 1, 100000);
  const Faces& few = facesOf(100000, 1, 16);
  if (distinct.triangles < 0 || few.triangles < 0) return state.SkipWithError("faces not made");
  MvAutoPtrVec<MvTriStripSet> merged;
  if (!MvKMBrep::mergeShapeWithSameColor(distinct.shapes, distinct.colors, merged) ||
      !mergedInOrder(distinct, merged))
    return state.SkipWithError("groups wrong or out of order");
  merged.setLength(0);
  runPaired(state, [&] { return mergePass(few, 16); },
            [&] { return mergePass(distinct, distinct.shapes.length()); });
}

}  // namespace

BENCHMARK(BM_ColorMerge)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_ColorMergeManyColors_OneBlock)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_ColorMergeManyColors_PerGroup)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_ManyColors)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

}  // namespace mvbench
