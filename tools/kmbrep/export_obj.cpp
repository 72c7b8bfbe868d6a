#include "kmbrep/export_obj.h"

#include "kmbrep/output_file.h"

#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace kmbrep {

namespace {

std::string baseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string withExtension(const std::string& path, const char* ext) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of("/\\");
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExt ? path.substr(0, dot) : path) + ext;
}

// Three floats as a hash key: their bits, with -0 read as +0.
struct Vec3Key {
  std::uint32_t bits[3];
  bool operator==(const Vec3Key& o) const { return std::memcmp(bits, o.bits, sizeof bits) == 0; }
};

struct Vec3Hash {
  std::size_t operator()(const Vec3Key& k) const {
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint32_t b : k.bits) h = (h ^ b) * 1099511628211ull;
    return static_cast<std::size_t>(h ^ h >> 29);
  }
};

// Numbers the distinct triples of one array (n triples): index[i] is the
// 0-based number of triple i, and firsts lists the first triple of each
// number, in number order.
void shareTriples(const float* xyz, int n, std::vector<int>& index, std::vector<int>& firsts) {
  std::unordered_map<Vec3Key, int, Vec3Hash> seen;
  seen.reserve(static_cast<size_t>(n));
  index.resize(static_cast<size_t>(n));
  firsts.clear();
  for (int i = 0; i < n; ++i) {
    Vec3Key key{};
    for (int k = 0; k < 3; ++k) {
      const float v = xyz[3 * i + k] == 0.0f ? 0.0f : xyz[3 * i + k];
      std::memcpy(&key.bits[k], &v, sizeof v);
    }
    const auto found = seen.emplace(key, static_cast<int>(firsts.size()));
    if (found.second) firsts.push_back(i);
    index[static_cast<size_t>(i)] = found.first->second;
  }
}

void writeMaterials(BufferedWriter& mtl, const DisplayModel& model) {
  for (int m = 0; m < model.colors; ++m) {
    const MvVec4<float>& c = model.materials[static_cast<size_t>(m)];
    mtl.print("newmtl colour_%d\nKd %.6g %.6g %.6g\nKs 0.75 0.75 0.75\nNs 15\nd %.6g\n\n", m, c[0], c[1], c[2],
              c[3] < 0.0f ? 1.0f : c[3]);
  }
}

// One shape: its distinct positions and normals, then its triangles by
// index (strip triangle t of a strip starting at b: b+t, b+t+1, b+t+2, the
// first two swapped for odd t). Returns the triangles written.
long long writeShape(BufferedWriter& obj, const MvTriStripSet& shape, long long& positionBase, long long& normalBase) {
  const int n = shape.vertexCount();
  std::vector<int> position, normal, firsts;
  shareTriples(shape.vertices(), n, position, firsts);
  for (int i : firsts) {
    const float* p = shape.vertices() + 3 * i;
    obj.print("v %.9g %.9g %.9g\n", p[0], p[1], p[2]);
  }
  const long long positions = static_cast<long long>(firsts.size());
  const bool withNormals = shape.normals() != nullptr;
  long long normals = 0;
  if (withNormals) {
    shareTriples(shape.normals(), n, normal, firsts);
    for (int i : firsts) {
      const float* v = shape.normals() + 3 * i;
      obj.print("vn %.6g %.6g %.6g\n", v[0], v[1], v[2]);
    }
    normals = static_cast<long long>(firsts.size());
  }
  long long triangles = 0;
  for (int s = 0; s < shape.stripCount(); ++s) {
    const int b = shape.stripStart(s);
    for (int t = 0; t + 2 < shape.stripLength(s); ++t, ++triangles) {
      const int corner[3] = {t % 2 ? b + t + 1 : b + t, t % 2 ? b + t : b + t + 1, b + t + 2};
      obj.write('f');
      for (int c : corner) {
        const long long p = positionBase + position[static_cast<size_t>(c)];
        if (withNormals)
          obj.print(" %lld//%lld", p, normalBase + normal[static_cast<size_t>(c)]);
        else
          obj.print(" %lld", p);
      }
      obj.write('\n');
    }
  }
  positionBase += positions;
  normalBase += normals;
  return triangles;
}

void writeEdges(BufferedWriter& obj, const DisplayModel& model, long long positionBase) {
  if (model.edges.length() > 0) obj.write("o edges\n");
  for (int e = 0; e < model.edges.length(); ++e) {
    const MvPolylineSet& set = *model.edges[e];
    for (int l = 0; l < set.polylineCount(); ++l) {
      const int start = set.lineStart(l);
      const int count = set.lineLength(l);
      for (int p = 0; p < count; ++p) {
        const float* xyz = set.points() + 3 * (start + p);
        obj.print("v %.9g %.9g %.9g\n", xyz[0], xyz[1], xyz[2]);
      }
      obj.write('l');
      for (int p = 0; p < count; ++p) obj.print(" %lld", positionBase + p);
      obj.write('\n');
      positionBase += count;
    }
  }
}

}  // namespace

long long exportObj(const DisplayModel& model, const std::string& path) {
  const std::string mtlPath = withExtension(path, ".mtl");
  OutputFile objFile(path);
  OutputFile mtlFile(mtlPath);
  BufferedWriter obj(objFile);
  BufferedWriter mtl(mtlFile);
  writeMaterials(mtl, model);
  obj.print("# kmbrep: %d shapes, %lld triangles, %d materials\n", model.shapes.length(), model.triangles,
            model.colors);
  obj.write("mtllib " + baseName(mtlPath) + "\n");
  long long positionBase = 1, normalBase = 1, triangles = 0;
  for (int s = 0; s < model.shapes.length(); ++s) {
    obj.print("o shape_%d\nusemtl colour_%d\n", s, model.materialOf[static_cast<size_t>(s)]);
    triangles += writeShape(obj, *model.shapes[s], positionBase, normalBase);
  }
  writeEdges(obj, model, positionBase);
  mtl.finish();
  obj.finish();
  commitTogether({&mtlFile, &objFile});
  return triangles;
}

}  // namespace kmbrep
