// Figures 5 and 6: merging face shapes by colour. Figure 5 merges 1,000,000
// triangles in 10,000 faces of 16 colours, against copying the same floats
// triangle by triangle into preallocated arrays. Figure 6 groups 100,000
// one-triangle faces of 100,000 distinct colours, against the same faces in
// 16 colours; the merged shapes are checked to come out one per colour, in
// order of first appearance, each with its face and its colour.
#include "MvKMBrep61.h"
#include "paired.h"

#include <memory>
#include <vector>

namespace mvbench {
namespace {

struct Faces {
  MvAutoPtrVec<MvTriStripSet> shapes;
  MvAVec<MvVec4<float>> colors;
  long long triangles = 0;
};

// Face f: one strip of trianglesPerFace triangles with per-vertex normals,
// texture coordinates and colours.
MvAutoPtr<MvTriStripSet> makeFace(int f, int trianglesPerFace) {
  MvAutoPtr<MvTriStripSet> shape(new MvTriStripSet(
      MvVertexShape::MV_BIND_PER_VERTEX, MvVertexShape::MV_BIND_PER_VERTEX, MvVertexShape::MV_BIND_PER_VERTEX));
  const int n = trianglesPerFace + 2;
  std::vector<float> v(3 * n), nv(3 * n), t(2 * n), c(3 * n);
  for (int i = 0; i < n; ++i) {
    const float x = static_cast<float>(i / 2);
    const float y = static_cast<float>(i % 2);
    const float z = static_cast<float>(f);
    v[3 * i] = x, v[3 * i + 1] = y, v[3 * i + 2] = z;
    nv[3 * i] = 0.0f, nv[3 * i + 1] = 0.0f, nv[3 * i + 2] = 1.0f;
    t[2 * i] = x / static_cast<float>(n), t[2 * i + 1] = y;
    c[3 * i] = 0.5f, c[3 * i + 1] = y, c[3 * i + 2] = x / static_cast<float>(n);
  }
  if (!shape || !shape->addStrip(v.data(), nv.data(), t.data(), c.data(), n)) return MvAutoPtr<MvTriStripSet>();
  return shape;
}

// A colour of its own for every i below 1,000,000.
MvVec4<float> colorOf(int i) {
  return MvVec4<float>{{static_cast<float>(i % 100) / 100.0f, static_cast<float>((i / 100) % 100) / 100.0f,
                        static_cast<float>(i / 10000) / 100.0f, 1.0f}};
}

bool makeFaces(Faces& out, int faces, int trianglesPerFace, int colors) {
  for (int f = 0; f < faces; ++f) {
    MvAutoPtr<MvTriStripSet> shape = makeFace(f, trianglesPerFace);
    if (!shape || !out.shapes.append(shape) || !out.colors.append(colorOf(f % colors))) return false;
    out.triangles += shape->triangleCount();
  }
  return true;
}

const Faces& mergeFaces() {
  static const Faces faces = [] {
    Faces f;
    if (!makeFaces(f, 10000, 100, 16)) f.triangles = -1;
    return f;
  }();
  return faces;
}

const Faces& manyColorFaces(bool distinct) {
  static const Faces distinctFaces = [] {
    Faces f;
    if (!makeFaces(f, 100000, 1, 100000)) f.triangles = -1;
    return f;
  }();
  static const Faces fewFaces = [] {
    Faces f;
    if (!makeFaces(f, 100000, 1, 16)) f.triangles = -1;
    return f;
  }();
  return distinct ? distinctFaces : fewFaces;
}

// One pass of the merge; the merged shapes are released untimed.
double mergePass(const Faces& faces, int groups) {
  MvAutoPtrVec<MvTriStripSet> merged;
  const double seconds = timed([&] {
    return MvKMBrep::mergeShapeWithSameColor(faces.shapes, faces.colors, merged) && merged.length() == groups;
  });
  long long triangles = 0;
  for (int i = 0; i < merged.length(); ++i) triangles += merged[i]->triangleCount();
  return triangles == faces.triangles ? seconds : -1.0;
}

// Copies every triangle's vertex, normal, texture-coordinate and colour
// floats (strip order, every second triangle turned) into arrays allocated
// before the timed pass. Like the merged shapes, the arrays are new memory
// each pass, so both sides pay for touching it first; neither side's
// release is timed.
double copyPass(const Faces& faces) {
  const std::size_t corners = 3 * static_cast<std::size_t>(faces.triangles);
  std::unique_ptr<float[]> vertices(new float[3 * corners]);
  std::unique_ptr<float[]> normals(new float[3 * corners]);
  std::unique_ptr<float[]> texCoords(new float[2 * corners]);
  std::unique_ptr<float[]> colors(new float[3 * corners]);
  return timed([&] {
    std::size_t at = 0;
    for (int f = 0; f < faces.shapes.length(); ++f) {
      const MvTriStripSet& s = *faces.shapes[f];
      const float* v = s.vertices();
      const float* n = s.normals();
      const float* t = s.texCoords();
      const float* c = s.colors();
      const int triangles = s.triangleCount();
      for (int k = 0; k < triangles; ++k) {
        const int corner[3] = {k % 2 ? k + 1 : k, k % 2 ? k : k + 1, k + 2};
        for (int j = 0; j < 3; ++j, ++at) {
          const std::size_t p = static_cast<std::size_t>(corner[j]);
          for (int d = 0; d < 3; ++d) vertices[3 * at + d] = v[3 * p + d];
          for (int d = 0; d < 3; ++d) normals[3 * at + d] = n[3 * p + d];
          for (int d = 0; d < 2; ++d) texCoords[2 * at + d] = t[2 * p + d];
          for (int d = 0; d < 3; ++d) colors[3 * at + d] = c[3 * p + d];
        }
      }
    }
    benchmark::DoNotOptimize(vertices.get());
    benchmark::DoNotOptimize(normals.get());
    benchmark::DoNotOptimize(texCoords.get());
    benchmark::DoNotOptimize(colors.get());
    benchmark::ClobberMemory();
    return at == corners;
  });
}

void BM_ColorMerge(benchmark::State& state) {
  const Faces& faces = mergeFaces();
  if (faces.triangles < 0) return state.SkipWithError("faces not made");
  runPaired(state, [&] { return copyPass(faces); }, [&] { return mergePass(faces, 16); });
  state.counters["triangles"] = static_cast<double>(faces.triangles);
}

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

// The 100,000 distinct colours against the same faces in 16 colours; the
// first distinct-colour merge is checked for exact groups in order.
void BM_ManyColors(benchmark::State& state) {
  const Faces& distinct = manyColorFaces(true);
  const Faces& few = manyColorFaces(false);
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

BENCHMARK(BM_ColorMerge)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_ManyColors)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

}  // namespace mvbench
