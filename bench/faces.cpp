#include "faces.h"

#include "paired.h"

#include <memory>
#include <vector>

namespace mvbench {
namespace {

// Face f: one strip of trianglesPerFace triangles.
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

struct Arrays {
  std::unique_ptr<float[]> vertices, normals, texCoords, colors;
  explicit Arrays(std::size_t corners)
      : vertices(new float[3 * corners]),
        normals(new float[3 * corners]),
        texCoords(new float[2 * corners]),
        colors(new float[3 * corners]) {}
};

}  // namespace

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

double mergePass(const Faces& faces, int groups) {
  MvAutoPtrVec<MvTriStripSet> merged;
  const double seconds = timed([&] {
    return MvKMBrep::mergeShapeWithSameColor(faces.shapes, faces.colors, merged) && merged.length() == groups;
  });
  long long triangles = 0;
  for (int i = 0; i < merged.length(); ++i) triangles += merged[i]->triangleCount();
  return triangles == faces.triangles ? seconds : -1.0;
}

double copyPass(const Faces& faces, int groups, bool perGroup) {
  // Faces are dealt to groups as the colours are (face f in group f % groups),
  // so each group's arrays hold exactly its faces' triangles.
  const int faceCount = faces.shapes.length();
  std::vector<std::size_t> groupCorners(perGroup ? groups : 1, 0);
  for (int f = 0; f < faceCount; ++f) {
    groupCorners[perGroup ? f % groups : 0] += 3 * static_cast<std::size_t>(faces.shapes[f]->triangleCount());
  }
  std::vector<Arrays> arrays;
  std::vector<std::size_t> at(groupCorners.size(), 0);
  const double seconds = timed([&] {
    arrays.reserve(groupCorners.size());
    for (std::size_t corners : groupCorners) arrays.emplace_back(corners);
    for (int f = 0; f < faceCount; ++f) {
      const std::size_t g = perGroup ? static_cast<std::size_t>(f % groups) : 0;
      Arrays& out = arrays[g];
      std::size_t& k = at[g];
      const MvTriStripSet& s = *faces.shapes[f];
      const float* v = s.vertices();
      const float* n = s.normals();
      const float* t = s.texCoords();
      const float* c = s.colors();
      const int triangles = s.triangleCount();
      for (int tri = 0; tri < triangles; ++tri) {
        const int corner[3] = {tri % 2 ? tri + 1 : tri, tri % 2 ? tri : tri + 1, tri + 2};
        for (int j = 0; j < 3; ++j, ++k) {
          const std::size_t p = static_cast<std::size_t>(corner[j]);
          for (int d = 0; d < 3; ++d) out.vertices[3 * k + d] = v[3 * p + d];
          for (int d = 0; d < 3; ++d) out.normals[3 * k + d] = n[3 * p + d];
          for (int d = 0; d < 2; ++d) out.texCoords[2 * k + d] = t[2 * p + d];
          for (int d = 0; d < 3; ++d) out.colors[3 * k + d] = c[3 * p + d];
        }
      }
    }
    benchmark::DoNotOptimize(arrays.data());
    benchmark::ClobberMemory();
    return true;
  });
  std::size_t total = 0;
  std::size_t wanted = 0;
  for (std::size_t g = 0; g < at.size(); ++g) total += at[g], wanted += groupCorners[g];
  return total == wanted ? seconds : -1.0;
}

}  // namespace mvbench
