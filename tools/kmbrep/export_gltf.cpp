#include "kmbrep/export_gltf.h"

#include "kmbrep/output_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <vector>

namespace kmbrep {

namespace {

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kFloat = 5126;
constexpr int kUnsignedInt = 5125;
constexpr int kModeLines = 1;
constexpr int kModeTriangles = 4;
constexpr uint32_t kGlbMagic = 0x46546C67;  // "glTF"
constexpr uint32_t kJsonChunk = 0x4E4F534A;
constexpr uint32_t kBinChunk = 0x004E4942;
// Values written per write: bounds the memory the buffer pass needs.
constexpr size_t kBatch = 16384;

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", std::isfinite(v) ? v : 0.0);
  return text;
}

std::string join(const std::vector<std::string>& parts) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? "," : "") + parts[i];
  return out;
}

// glTF base colours are linear; the kernel's colours are meant as seen on
// screen (sRGB), so they are converted, and viewers show them as meant.
double linear(float srgb) {
  const double c = std::clamp(std::isfinite(srgb) ? static_cast<double>(srgb) : 0.0, 0.0, 1.0);
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

std::string material(const std::string& name, const MvVec4<float>& c) {
  auto unit = [](float v) { return number(linear(v)); };
  const float alpha = c[3] < 0.0f ? 1.0f : c[3];
  std::string m = "{\"name\":" + jsonString(name) + ",\"pbrMetallicRoughness\":{\"baseColorFactor\":[" + unit(c[0]) +
                  "," + unit(c[1]) + "," + unit(c[2]) + "," + number(std::clamp(alpha, 0.0f, 1.0f)) +
                  "],\"metallicFactor\":0,\"roughnessFactor\":0.6}";
  if (alpha < 1.0f) m += ",\"alphaMode\":\"BLEND\"";
  return m + "}";
}

// One stretch of the binary buffer, written in the second pass from the
// shape or node it names.
struct Block {
  enum Kind { ShapePositions, ShapeNormals, ShapeIndices, EdgePositions, EdgeIndices } kind;
  const MvTriStripSet* shape;
  const SceneNode* node;
};

struct Bounds {
  float lo[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                 std::numeric_limits<float>::max()};
  float hi[3] = {-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                 -std::numeric_limits<float>::max()};
  void add(const float* xyz, size_t points) {
    for (size_t i = 0; i < 3 * points; ++i) {
      lo[i % 3] = std::min(lo[i % 3], xyz[i]);
      hi[i % 3] = std::max(hi[i % 3], xyz[i]);
    }
  }
  std::string json() const {
    return ",\"min\":[" + number(lo[0]) + "," + number(lo[1]) + "," + number(lo[2]) + "],\"max\":[" + number(hi[0]) +
           "," + number(hi[1]) + "," + number(hi[2]) + "]";
  }
};

long long edgePoints(const SceneNode& node) {
  long long n = 0;
  for (const MvPolylineSet* set : node.edges) n += set->pointCount();
  return n;
}

long long edgeSegments(const SceneNode& node) {
  long long n = 0;
  for (const MvPolylineSet* set : node.edges)
    for (int l = 0; l < set->polylineCount(); ++l) n += set->lineLength(l) - 1;
  return n;
}

// The document's JSON (without its buffer) and the blocks of its buffer.
class Layout {
 public:
  explicit Layout(const Scene& scene) {
    for (const SceneNode& node : scene.nodes) addNode(node);
    if (_nodes.empty()) throw ToolError{"nothing to export: the model has no shapes"};
  }

  long long triangles() const { return _triangles; }
  unsigned long long bufferBytes() const { return _bytes; }
  const std::vector<Block>& blocks() const { return _blocks; }

  // The document; uri is the buffer's data URI prefix, or empty for a .glb.
  std::string json(const std::string& uri) const {
    std::vector<std::string> indices;
    for (size_t i = 0; i < _nodes.size(); ++i) indices.push_back(std::to_string(i));
    std::string out = "{\"asset\":{\"version\":\"2.0\",\"generator\":\"kmbrep\"},\"scene\":0,\"scenes\":[{\"nodes\":[" +
                      join(indices) + "]}],\"nodes\":[" + join(_nodes) + "],\"meshes\":[" + join(_meshes) +
                      "],\"materials\":[" + join(_materials) + "],\"buffers\":[{\"byteLength\":" +
                      std::to_string(_bytes);
    if (!uri.empty()) out += ",\"uri\":\"" + uri;
    return out;
  }
  std::string jsonTail(bool withUri) const {
    return std::string(withUri ? "\"" : "") + "}],\"bufferViews\":[" + join(_views) + "],\"accessors\":[" +
           join(_accessors) + "]}";
  }

 private:
  void addNode(const SceneNode& node) {
    std::vector<std::string> primitives;
    for (const MvTriStripSet* shape : node.shapes) {
      if (shape->triangleCount() <= 0) continue;
      const long long vertices = shape->vertexCount();
      Bounds bounds;
      bounds.add(shape->vertices(), static_cast<size_t>(vertices));
      const int pos = addAccessor(Block{Block::ShapePositions, shape, &node}, vertices, 12, kArrayBuffer, kFloat,
                                  "VEC3", bounds.json());
      std::string attributes = "\"POSITION\":" + std::to_string(pos);
      if (shape->normals()) {
        const int nrm = addAccessor(Block{Block::ShapeNormals, shape, &node}, vertices, 12, kArrayBuffer, kFloat,
                                    "VEC3", "");
        attributes += ",\"NORMAL\":" + std::to_string(nrm);
      }
      const int idx = addAccessor(Block{Block::ShapeIndices, shape, &node}, 3LL * shape->triangleCount(), 4,
                                  kElementArrayBuffer, kUnsignedInt, "SCALAR", "");
      primitives.push_back("{\"attributes\":{" + attributes + "},\"indices\":" + std::to_string(idx) +
                           ",\"material\":" + std::to_string(materialFor(shapeColor(*shape))) +
                           ",\"mode\":" + std::to_string(kModeTriangles) + "}");
      _triangles += shape->triangleCount();
    }
    const long long segments = edgeSegments(node);
    if (segments > 0) {
      Bounds bounds;
      for (const MvPolylineSet* set : node.edges) bounds.add(set->points(), static_cast<size_t>(set->pointCount()));
      const int pos = addAccessor(Block{Block::EdgePositions, nullptr, &node}, edgePoints(node), 12, kArrayBuffer,
                                  kFloat, "VEC3", bounds.json());
      const int idx = addAccessor(Block{Block::EdgeIndices, nullptr, &node}, 2 * segments, 4, kElementArrayBuffer,
                                  kUnsignedInt, "SCALAR", "");
      primitives.push_back("{\"attributes\":{\"POSITION\":" + std::to_string(pos) + "},\"indices\":" +
                           std::to_string(idx) + ",\"material\":" + std::to_string(edgeMaterial()) +
                           ",\"mode\":" + std::to_string(kModeLines) + "}");
    }
    if (primitives.empty()) return;
    const std::string mesh = std::to_string(_meshes.size());
    _meshes.push_back("{\"name\":" + jsonString(node.name) + ",\"primitives\":[" + join(primitives) + "]}");
    _nodes.push_back("{\"name\":" + jsonString(node.name) + ",\"mesh\":" + mesh + "}");
  }

  int addAccessor(const Block& block, long long count, int elementBytes, int target, int componentType,
                  const char* type, const std::string& bounds) {
    const unsigned long long length = static_cast<unsigned long long>(count) * elementBytes;
    _views.push_back("{\"buffer\":0,\"byteOffset\":" + std::to_string(_bytes) + ",\"byteLength\":" +
                     std::to_string(length) + ",\"target\":" + std::to_string(target) + "}");
    _accessors.push_back("{\"bufferView\":" + std::to_string(_views.size() - 1) + ",\"componentType\":" +
                         std::to_string(componentType) + ",\"count\":" + std::to_string(count) + ",\"type\":\"" +
                         type + "\"" + bounds + "}");
    _blocks.push_back(block);
    _bytes += length;
    return static_cast<int>(_accessors.size()) - 1;
  }

  int materialFor(const MvVec4<float>& c) {
    const std::array<float, 4> key{c[0], c[1], c[2], c[3]};
    const auto known = _colorMaterials.find(key);
    if (known != _colorMaterials.end()) return known->second;
    const int index = static_cast<int>(_materials.size());
    _materials.push_back(material("colour_" + std::to_string(_colorMaterials.size()), c));
    _colorMaterials.emplace(key, index);
    return index;
  }

  int edgeMaterial() {
    if (_edgeMaterial < 0) {
      _edgeMaterial = static_cast<int>(_materials.size());
      _materials.push_back(material("edges", MvVec4<float>{{0.12f, 0.12f, 0.12f, 1.0f}}));
    }
    return _edgeMaterial;
  }

  std::vector<std::string> _nodes, _meshes, _materials, _views, _accessors;
  std::map<std::array<float, 4>, int> _colorMaterials;
  int _edgeMaterial = -1;
  std::vector<Block> _blocks;
  unsigned long long _bytes = 0;
  long long _triangles = 0;
};

// Collects values and hands them on in batches of kBatch.
template <typename T>
class Batch {
 public:
  explicit Batch(Sink& sink) : _sink(sink) { _values.reserve(kBatch); }
  void push(T v) {
    _values.push_back(v);
    if (_values.size() == kBatch) flush();
  }
  void flush() {
    _sink.write(reinterpret_cast<const char*>(_values.data()), _values.size() * sizeof(T));
    _values.clear();
  }

 private:
  Sink& _sink;
  std::vector<T> _values;
};

// A unit normal; a degenerate one (at a pole, say) becomes +z.
void pushUnitNormal(Batch<float>& out, const float* n) {
  const double len = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
  if (!(len > 1e-12)) {
    out.push(0.0f);
    out.push(0.0f);
    out.push(1.0f);
    return;
  }
  for (int k = 0; k < 3; ++k) out.push(static_cast<float>(n[k] / len));
}

// The buffer, block by block, in the order of the layout. Numbers are
// written in the machine's order: little-endian on every supported target.
void writeBuffer(const Layout& layout, Sink& sink) {
  for (const Block& block : layout.blocks()) {
    switch (block.kind) {
      case Block::ShapePositions:
        sink.write(reinterpret_cast<const char*>(block.shape->vertices()),
                   static_cast<size_t>(block.shape->vertexCount()) * 12);
        break;
      case Block::ShapeNormals: {
        Batch<float> out(sink);
        for (int v = 0; v < block.shape->vertexCount(); ++v) pushUnitNormal(out, block.shape->normals() + 3 * v);
        out.flush();
        break;
      }
      case Block::ShapeIndices: {
        // Every second triangle of a strip is turned, as the shape's
        // triangle iterator turns it, so all keep the strip's orientation.
        Batch<uint32_t> out(sink);
        for (int s = 0; s < block.shape->stripCount(); ++s) {
          const int first = block.shape->stripStart(s);
          for (int t = 0; t + 2 < block.shape->stripLength(s); ++t) {
            const uint32_t b = static_cast<uint32_t>(first + t);
            out.push(t % 2 ? b + 1 : b);
            out.push(t % 2 ? b : b + 1);
            out.push(b + 2);
          }
        }
        out.flush();
        break;
      }
      case Block::EdgePositions:
        for (const MvPolylineSet* set : block.node->edges)
          sink.write(reinterpret_cast<const char*>(set->points()), static_cast<size_t>(set->pointCount()) * 12);
        break;
      case Block::EdgeIndices: {
        Batch<uint32_t> out(sink);
        uint32_t base = 0;
        for (const MvPolylineSet* set : block.node->edges) {
          for (int l = 0; l < set->polylineCount(); ++l) {
            const uint32_t first = base + static_cast<uint32_t>(set->lineStart(l));
            for (int p = 0; p + 1 < set->lineLength(l); ++p) {
              out.push(first + static_cast<uint32_t>(p));
              out.push(first + static_cast<uint32_t>(p) + 1);
            }
          }
          base += static_cast<uint32_t>(set->pointCount());
        }
        out.flush();
        break;
      }
    }
  }
}

void writeUint32(Sink& sink, uint32_t v) {
  const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF),
                         static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 24 & 0xFF)};
  sink.write(bytes, 4);
}

}  // namespace

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

long long writeGlb(const Scene& scene, Sink& sink) {
  const Layout layout(scene);
  std::string json = layout.json("") + layout.jsonTail(false);
  json.append((4 - json.size() % 4) % 4, ' ');
  const unsigned long long bin = layout.bufferBytes();
  const unsigned long long padding = (4 - bin % 4) % 4;
  const unsigned long long total = 12 + 8 + json.size() + 8 + bin + padding;
  if (total > std::numeric_limits<uint32_t>::max()) throw ToolError{"the model is too large for a .glb (4 GiB)"};
  writeUint32(sink, kGlbMagic);
  writeUint32(sink, 2);
  writeUint32(sink, static_cast<uint32_t>(total));
  writeUint32(sink, static_cast<uint32_t>(json.size()));
  writeUint32(sink, kJsonChunk);
  sink.write(json);
  writeUint32(sink, static_cast<uint32_t>(bin + padding));
  writeUint32(sink, kBinChunk);
  writeBuffer(layout, sink);
  sink.write(std::string(padding, '\0'));
  return layout.triangles();
}

long long exportGltf(const Scene& scene, const std::string& path, GltfForm form) {
  long long triangles = 0;
  writeStreamed(path, [&](Sink& sink) {
    if (form == GltfForm::Binary) {
      triangles = writeGlb(scene, sink);
      return;
    }
    const Layout layout(scene);
    sink.write(layout.json("data:application/octet-stream;base64,"));
    Base64Sink base64(sink);
    writeBuffer(layout, base64);
    base64.finish();
    sink.write(layout.jsonTail(true) + "\n");
    triangles = layout.triangles();
  });
  return triangles;
}

}  // namespace kmbrep
