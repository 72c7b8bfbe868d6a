#include "kmbrep/export_gltf.h"

#include "kmbrep/output_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <sstream>
#include <vector>

namespace kmbrep {

namespace {

constexpr int kArrayBuffer = 34962;
constexpr int kFloat = 5126;
constexpr int kModeLineStrip = 3;
constexpr int kModeTriangles = 4;

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", std::isfinite(v) ? v : 0.0);
  return text;
}

std::string base64(const std::vector<unsigned char>& bytes) {
  static const char* const kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const unsigned v = bytes[i] << 16 | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                       (i + 2 < bytes.size() ? bytes[i + 2] : 0);
    out += kAlphabet[v >> 18 & 63];
    out += kAlphabet[v >> 12 & 63];
    out += i + 1 < bytes.size() ? kAlphabet[v >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
  }
  return out;
}

// The binary buffer with its views and accessors, as JSON fragments.
class BufferBuilder {
 public:
  // Appends xyz floats as one view and accessor; returns the accessor index.
  int addVec3(const std::vector<float>& xyz, bool withBounds) {
    const size_t offset = _bytes.size();
    _bytes.resize(offset + xyz.size() * sizeof(float));
    std::memcpy(_bytes.data() + offset, xyz.data(), xyz.size() * sizeof(float));
    const int view = static_cast<int>(_views.size());
    _views.push_back("{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) +
                     ",\"byteLength\":" + std::to_string(xyz.size() * sizeof(float)) +
                     ",\"target\":" + std::to_string(kArrayBuffer) + "}");
    std::string accessor = "{\"bufferView\":" + std::to_string(view) + ",\"componentType\":" +
                           std::to_string(kFloat) + ",\"count\":" + std::to_string(xyz.size() / 3) +
                           ",\"type\":\"VEC3\"";
    if (withBounds) {
      float lo[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                     std::numeric_limits<float>::max()};
      float hi[3] = {-lo[0], -lo[1], -lo[2]};
      for (size_t i = 0; i < xyz.size(); ++i) {
        lo[i % 3] = std::min(lo[i % 3], xyz[i]);
        hi[i % 3] = std::max(hi[i % 3], xyz[i]);
      }
      accessor += ",\"min\":[" + number(lo[0]) + "," + number(lo[1]) + "," + number(lo[2]) + "],\"max\":[" +
                  number(hi[0]) + "," + number(hi[1]) + "," + number(hi[2]) + "]";
    }
    _accessors.push_back(accessor + "}");
    return static_cast<int>(_accessors.size()) - 1;
  }

  std::string json() const {
    std::string out = "\"buffers\":[{\"byteLength\":" + std::to_string(_bytes.size()) +
                      ",\"uri\":\"data:application/octet-stream;base64," + base64(_bytes) + "\"}]";
    out += ",\"bufferViews\":[" + join(_views) + "],\"accessors\":[" + join(_accessors) + "]";
    return out;
  }

  static std::string join(const std::vector<std::string>& parts) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? "," : "") + parts[i];
    return out;
  }

 private:
  std::vector<unsigned char> _bytes;
  std::vector<std::string> _views;
  std::vector<std::string> _accessors;
};

std::string material(const char* name, const MvVec4<float>& c) {
  auto unit = [](float v) { return number(std::clamp(std::isfinite(v) ? v : 0.0f, 0.0f, 1.0f)); };
  const float alpha = c[3] < 0.0f ? 1.0f : c[3];
  std::string m = std::string("{\"name\":\"") + name + "\",\"pbrMetallicRoughness\":{\"baseColorFactor\":[" +
                  unit(c[0]) + "," + unit(c[1]) + "," + unit(c[2]) + "," + unit(alpha) +
                  "],\"metallicFactor\":0,\"roughnessFactor\":0.6}";
  if (alpha < 1.0f) m += ",\"alphaMode\":\"BLEND\"";
  return m + "}";
}

// A unit normal; a degenerate one (at a pole, say) becomes +z.
void pushUnitNormal(std::vector<float>& out, const float* n) {
  const double len = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
  if (!(len > 1e-12)) {
    out.insert(out.end(), {0.0f, 0.0f, 1.0f});
    return;
  }
  for (int k = 0; k < 3; ++k) out.push_back(static_cast<float>(n[k] / len));
}

}  // namespace

long long exportGltf(const DisplayModel& model, const std::string& path) {
  BufferBuilder buffer;
  std::vector<std::string> primitives;
  std::vector<std::string> materials;
  long long triangles = 0;
  for (int s = 0; s < model.shapes.length(); ++s) {
    std::vector<float> positions, normals;
    MvAutoPtr<MvTriIter> it = model.shapes[s]->getTriIter();
    if (!it) throw ToolError{"cannot walk the triangles of shape " + std::to_string(s)};
    it->reset();
    for (const MvTriangle* t = it->next(1); t; t = it->next(1)) {
      for (int v = 0; v < 3; ++v) {
        positions.insert(positions.end(), t->vertices[v], t->vertices[v] + 3);
        pushUnitNormal(normals, t->normals[v]);
      }
      ++triangles;
    }
    if (positions.empty()) continue;
    const int material = static_cast<int>(materials.size());
    materials.push_back(kmbrep::material(("colour_" + std::to_string(s)).c_str(), shapeColour(*model.shapes[s])));
    const int pos = buffer.addVec3(positions, true);
    const int nrm = buffer.addVec3(normals, false);
    primitives.push_back("{\"attributes\":{\"POSITION\":" + std::to_string(pos) + ",\"NORMAL\":" +
                         std::to_string(nrm) + "},\"material\":" + std::to_string(material) +
                         ",\"mode\":" + std::to_string(kModeTriangles) + "}");
  }
  if (model.polylines > 0) {
    const int edgeMaterial = static_cast<int>(materials.size());
    materials.push_back(kmbrep::material("edges", MvVec4<float>{{0.12f, 0.12f, 0.12f, 1.0f}}));
    for (int e = 0; e < model.edges.length(); ++e) {
      const MvPolylineSet& set = *model.edges[e];
      for (int l = 0; l < set.polylineCount(); ++l) {
        const float* p = set.points() + 3 * set.lineStart(l);
        const std::vector<float> points(p, p + 3 * set.lineLength(l));
        const int pos = buffer.addVec3(points, true);
        primitives.push_back("{\"attributes\":{\"POSITION\":" + std::to_string(pos) + "},\"material\":" +
                             std::to_string(edgeMaterial) + ",\"mode\":" + std::to_string(kModeLineStrip) + "}");
      }
    }
  }
  if (primitives.empty()) throw ToolError{"nothing to export: the model has no shapes"};

  std::ostringstream json;
  json << "{\"asset\":{\"version\":\"2.0\",\"generator\":\"kmbrep\"},\"scene\":0,"
       << "\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"name\":\"model\",\"mesh\":0}],"
       << "\"meshes\":[{\"name\":\"model\",\"primitives\":[" << BufferBuilder::join(primitives) << "]}],"
       << "\"materials\":[" << BufferBuilder::join(materials) << "]," << buffer.json() << "}\n";
  writeWholeFile(path, json.str());
  return triangles;
}

}  // namespace kmbrep
