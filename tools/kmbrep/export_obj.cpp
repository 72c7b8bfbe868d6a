#include "kmbrep/export_obj.h"

#include "kmbrep/output_file.h"

#include <cstdio>
#include <sstream>

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

void put(std::ostringstream& out, const char* prefix, const float* p, int n) {
  char line[128];
  int at = std::snprintf(line, sizeof line, "%s", prefix);
  for (int k = 0; k < n; ++k) at += std::snprintf(line + at, sizeof line - at, " %.6g", p[k]);
  out << line << '\n';
}

}  // namespace

long long exportObj(const DisplayModel& model, const std::string& path) {
  const std::string mtlPath = withExtension(path, ".mtl");
  std::ostringstream obj;
  std::ostringstream mtl;
  obj << "# kmbrep: " << model.shapes.length() << " shapes, " << model.triangles << " triangles\n";
  obj << "mtllib " << baseName(mtlPath) << '\n';
  long long vertexBase = 1;
  long long triangles = 0;
  for (int s = 0; s < model.shapes.length(); ++s) {
    const MvTriStripSet& shape = *model.shapes[s];
    const MvVec4<float> c = shapeColour(shape);
    char material[256];
    std::snprintf(material, sizeof material,
                  "newmtl colour_%d\nKd %.6g %.6g %.6g\nKs 0.75 0.75 0.75\nNs 15\nd %.6g\n\n", s, c[0], c[1],
                  c[2], c[3] < 0.0f ? 1.0f : c[3]);
    mtl << material;
    obj << "o shape_" << s << "\nusemtl colour_" << s << '\n';
    MvAutoPtr<MvTriIter> it = shape.getTriIter();
    if (!it) throw ToolError{"cannot walk the triangles of shape " + std::to_string(s)};
    it->reset();
    const int n = it->size();
    for (int t = 0; t < n; ++t) {
      const MvTriangle* tri = it->next(1);
      if (!tri) break;
      for (int v = 0; v < 3; ++v) put(obj, "v", tri->vertices[v], 3);
      for (int v = 0; v < 3; ++v) put(obj, "vn", tri->normals[v], 3);
      obj << "f " << vertexBase << "//" << vertexBase << ' ' << vertexBase + 1 << "//" << vertexBase + 1 << ' '
          << vertexBase + 2 << "//" << vertexBase + 2 << '\n';
      vertexBase += 3;
      ++triangles;
    }
  }
  long long pointBase = vertexBase;
  if (model.edges.length() > 0) obj << "o edges\n";
  for (int e = 0; e < model.edges.length(); ++e) {
    const MvPolylineSet& set = *model.edges[e];
    for (int l = 0; l < set.polylineCount(); ++l) {
      const int start = set.lineStart(l);
      const int count = set.lineLength(l);
      for (int p = 0; p < count; ++p) put(obj, "v", set.points() + 3 * (start + p), 3);
      obj << 'l';
      for (int p = 0; p < count; ++p) obj << ' ' << pointBase + p;
      obj << '\n';
      pointBase += count;
    }
  }
  writeWholeFile(mtlPath, mtl.str());
  writeWholeFile(path, obj.str());
  return triangles;
}

}  // namespace kmbrep
