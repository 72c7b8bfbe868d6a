#include "kmbrep/export_svg.h"

#include "kmbrep/markup_text.h"
#include "kmbrep/output_file.h"
#include "kmbrep/streamed_output.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <unordered_map>
#include <vector>

namespace kmbrep {

namespace {

using V3 = std::array<double, 3>;

constexpr double kMargin = 24.0;
constexpr double kCaptionHeight = 26.0;
// Steps of an edge's depth test, in pixels.
constexpr double kEdgeStep = 0.5;

V3 sub(const V3& a, const V3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double dot(const V3& a, const V3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
V3 cross(const V3& a, const V3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
V3 normalised(const V3& a) {
  const double n = std::sqrt(dot(a, a));
  return n > 0.0 ? V3{a[0] / n, a[1] / n, a[2] / n} : V3{0.0, 0.0, 0.0};
}
V3 toV3(const float* p) { return {p[0], p[1], p[2]}; }

// An orthographic camera; the light comes from above left of the viewer.
struct Camera {
  V3 toEye, right, up, light;
};

Camera camera(ViewDirection view) {
  V3 toEye{1.0, -1.4, 1.1}, upHint{0.0, 0.0, 1.0};
  if (view == ViewDirection::Front) toEye = {0.0, -1.0, 0.0};
  if (view == ViewDirection::Side) toEye = {1.0, 0.0, 0.0};
  if (view == ViewDirection::Top) {
    toEye = {0.0, 0.0, 1.0};
    upHint = {0.0, 1.0, 0.0};
  }
  Camera c;
  c.toEye = normalised(toEye);
  c.right = normalised(cross(upHint, c.toEye));
  c.up = cross(c.toEye, c.right);
  for (int k = 0; k < 3; ++k) c.light[k] = 0.8 * c.toEye[k] - 0.3 * c.right[k] + 0.5 * c.up[k];
  c.light = normalised(c.light);
  return c;
}

// A point in the picture: x and y in pixels, depth growing towards the eye.
struct ScreenPoint {
  double x, y, depth;
};

// Maps model points into the picture so that the model fills the drawing
// area (the picture less its margin and caption line).
class Projector {
 public:
  Projector(const Scene& scene, const Camera& cam, const PictureOptions& options) : _cam(cam) {
    double lo[3] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                    std::numeric_limits<double>::max()};
    double hi[3] = {-lo[0], -lo[1], -lo[2]};
    auto add = [&](const float* p, int count) {
      for (int i = 0; i < count; ++i) {
        const V3 v = toV3(p + 3 * i);
        const double s[3] = {dot(v, _cam.right), -dot(v, _cam.up), dot(v, _cam.toEye)};
        for (int k = 0; k < 3; ++k) {
          lo[k] = std::min(lo[k], s[k]);
          hi[k] = std::max(hi[k], s[k]);
        }
      }
    };
    for (const SceneNode& node : scene.nodes) {
      for (const MvTriStripSet* s : node.shapes) add(s->vertices(), s->vertexCount());
      for (const MvPolylineSet* e : node.edges) add(e->points(), e->pointCount());
    }
    const double spanX = std::max(hi[0] - lo[0], 1e-9), spanY = std::max(hi[1] - lo[1], 1e-9);
    const double areaW = std::max(options.width - 2 * kMargin, 1.0);
    const double areaH = std::max(options.height - 2 * kMargin - kCaptionHeight, 1.0);
    _scale = std::min(areaW / spanX, areaH / spanY);
    _offX = (options.width - spanX * _scale) / 2.0 - lo[0] * _scale;
    _offY = (options.height - kCaptionHeight - spanY * _scale) / 2.0 - lo[1] * _scale;
    // Depths closer than this count as the same surface: a thousandth of
    // the model's size, and never less than what one pixel spans.
    const double extent = std::max({spanX, spanY, hi[2] - lo[2], 1e-9});
    _tolerance = std::max(1e-3 * extent, 1.0 / _scale);
  }

  ScreenPoint operator()(const V3& p) const {
    return {_offX + dot(p, _cam.right) * _scale, _offY - dot(p, _cam.up) * _scale, dot(p, _cam.toEye)};
  }
  double tolerance() const { return _tolerance; }
  const Camera& cam() const { return _cam; }

 private:
  Camera _cam;
  double _scale = 1.0, _offX = 0.0, _offY = 0.0, _tolerance = 0.0;
};

// The nearest depth drawn at each pixel.
class DepthBuffer {
 public:
  DepthBuffer(int width, int height)
      : _w(width), _h(height), _depth(static_cast<size_t>(width) * height, -std::numeric_limits<float>::infinity()) {}

  // Calls f(pixel index, depth at the pixel's centre) for every pixel whose
  // centre lies in the triangle; false when none does.
  template <typename F>
  bool cover(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c, F f) const {
    const double area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    if (std::fabs(area) < 1e-12) return false;
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min({a.x, b.x, c.x}))));
    const int x1 = std::min(_w - 1, static_cast<int>(std::ceil(std::max({a.x, b.x, c.x}))));
    const int y0 = std::max(0, static_cast<int>(std::floor(std::min({a.y, b.y, c.y}))));
    const int y1 = std::min(_h - 1, static_cast<int>(std::ceil(std::max({a.y, b.y, c.y}))));
    bool any = false;
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) {
        const double px = x + 0.5, py = y + 0.5;
        const double wa = ((b.x - px) * (c.y - py) - (b.y - py) * (c.x - px)) / area;
        const double wb = ((c.x - px) * (a.y - py) - (c.y - py) * (a.x - px)) / area;
        const double wc = 1.0 - wa - wb;
        if (wa < 0.0 || wb < 0.0 || wc < 0.0) continue;
        f(static_cast<size_t>(y) * _w + x, wa * a.depth + wb * b.depth + wc * c.depth);
        any = true;
      }
    }
    return any;
  }

  void draw(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c) {
    cover(a, b, c, [this](size_t i, double d) { _depth[i] = std::max(_depth[i], static_cast<float>(d)); });
  }

  // Whether a triangle shows at one pixel at least (a triangle smaller
  // than a pixel is judged at its centre).
  bool shows(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c, double tolerance) const {
    bool seen = false;
    const bool covers = cover(a, b, c, [&](size_t i, double d) { seen = seen || d + tolerance >= _depth[i]; });
    if (covers) return seen;
    return visible({(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.depth + b.depth + c.depth) / 3}, tolerance);
  }

  // Whether a point of an edge is in front of (or on) everything drawn
  // around it. The least near depth of the 3x3 pixels around is taken, so
  // an edge on a face seen at a grazing angle is not hidden by that face.
  bool visible(const ScreenPoint& p, double tolerance) const {
    const int px = static_cast<int>(std::floor(p.x)), py = static_cast<int>(std::floor(p.y));
    float least = std::numeric_limits<float>::infinity();
    for (int y = py - 1; y <= py + 1; ++y)
      for (int x = px - 1; x <= px + 1; ++x)
        least = x < 0 || y < 0 || x >= _w || y >= _h ? -std::numeric_limits<float>::infinity()
                                                     : std::min(least, _depth[static_cast<size_t>(y) * _w + x]);
    return p.depth + tolerance >= least;
  }

 private:
  int _w, _h;
  std::vector<float> _depth;
};

// Calls f(corner0, corner1, corner2) with the vertex indices of every
// triangle of the shape, turned as its triangle iterator turns them.
template <typename F>
void forEachTriangle(const MvTriStripSet& shape, F f) {
  for (int s = 0; s < shape.stripCount(); ++s) {
    const int first = shape.stripStart(s);
    for (int t = 0; t + 2 < shape.stripLength(s); ++t) {
      const int b = first + t;
      if (t % 2)
        f(b + 1, b, b + 2);
      else
        f(b, b + 1, b + 2);
    }
  }
}

V3 vertex(const MvTriStripSet& shape, int i) { return toV3(shape.vertices() + 3 * static_cast<size_t>(i)); }

bool facesViewer(const V3& a, const V3& b, const V3& c, const Camera& cam, V3* normal = nullptr) {
  const V3 n = normalised(cross(sub(b, a), sub(c, a)));
  if (normal) *normal = n;
  return dot(n, cam.toEye) > 0.0;
}

// The mesh edges of a shape where a face turned to the viewer meets one
// turned away: the outline of curved surfaces. Vertices are matched by
// position on a grid finer than the tessellation.
void addSilhouettes(const MvTriStripSet& shape, const Camera& cam, double grid, std::vector<std::array<V3, 2>>& out) {
  struct Key {
    int64_t q[6];
    bool operator==(const Key& o) const { return std::equal(q, q + 6, o.q); }
  };
  struct KeyHash {
    size_t operator()(const Key& k) const {
      uint64_t h = 1469598103934665603ull;
      for (int64_t v : k.q) h = (h ^ static_cast<uint64_t>(v)) * 1099511628211ull;
      return static_cast<size_t>(h);
    }
  };
  struct Use {
    int a, b;
    bool front = false, back = false;
  };
  std::unordered_map<Key, Use, KeyHash> edges;
  auto cell = [&](int v, int64_t* q) {
    for (int k = 0; k < 3; ++k) q[k] = std::llround(shape.vertices()[3 * static_cast<size_t>(v) + k] / grid);
  };
  forEachTriangle(shape, [&](int i, int j, int k) {
    const V3 a = vertex(shape, i), b = vertex(shape, j), c = vertex(shape, k);
    // A collapsed triangle (at a sphere's pole, say) faces no way at all.
    const V3 n = cross(sub(b, a), sub(c, a));
    if (dot(n, n) <= 1e-18 * (dot(sub(b, a), sub(b, a)) + dot(sub(c, a), sub(c, a))) *
                         (dot(sub(b, a), sub(b, a)) + dot(sub(c, a), sub(c, a))))
      return;
    const bool front = dot(n, cam.toEye) > 0.0;
    const int corner[3] = {i, j, k};
    for (int e = 0; e < 3; ++e) {
      int a = corner[e], b = corner[(e + 1) % 3];
      Key key;
      cell(a, key.q);
      cell(b, key.q + 3);
      if (std::lexicographical_compare(key.q + 3, key.q + 6, key.q, key.q + 3)) {
        std::swap_ranges(key.q, key.q + 3, key.q + 3);
        std::swap(a, b);
      }
      if (std::equal(key.q, key.q + 3, key.q + 3)) continue;  // collapsed
      Use& use = edges.emplace(key, Use{a, b}).first->second;
      (front ? use.front : use.back) = true;
    }
  });
  const size_t first = out.size();
  for (const auto& entry : edges)
    if (entry.second.front && entry.second.back)
      out.push_back({vertex(shape, entry.second.a), vertex(shape, entry.second.b)});
  // In a fixed order, whatever the table's order: the same model gives the
  // same file.
  std::sort(out.begin() + static_cast<std::ptrdiff_t>(first), out.end());
}

struct Face {
  double depth;
  const MvTriStripSet* shape;
  int corner[3];
};

std::string hexColor(double r, double g, double b) {
  auto channel = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", channel(r), channel(g), channel(b));
  return text;
}

std::string point(const ScreenPoint& p) {
  char text[48];
  std::snprintf(text, sizeof text, "%.1f,%.1f", p.x, p.y);
  return text;
}

std::string grouped(long long n) {
  std::string digits = std::to_string(n);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ",");
  return digits;
}

// Writes the visible stretches of polylines: each segment is followed in
// half-pixel steps and broken where a nearer face covers it.
class EdgeWriter {
 public:
  EdgeWriter(Sink& sink, const Projector& project, const DepthBuffer& depth)
      : _sink(sink), _project(project), _depth(depth) {}

  void line(const float* points, int count) {
    for (int i = 0; i + 1 < count; ++i) segment(toV3(points + 3 * i), toV3(points + 3 * (i + 1)));
    flush();
  }
  void segment(const V3& a3, const V3& b3) {
    const ScreenPoint a = _project(a3), b = _project(b3);
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    const int steps = std::max(1, static_cast<int>(std::ceil(length / kEdgeStep)));
    ScreenPoint last = a;
    for (int k = 0; k <= steps; ++k) {
      const double f = static_cast<double>(k) / steps;
      const ScreenPoint p{a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.depth + (b.depth - a.depth) * f};
      if (_depth.visible(p, _project.tolerance())) {
        if (_run.empty()) _run = point(p);
        else if (k == steps) _run += " " + point(p);
        _open = true;
      } else if (_open) {
        if (k > 0) _run += " " + point(last);
        flush();
      }
      last = p;
    }
  }
  // Writes the run when it has length in the picture: an edge seen end-on
  // shows as nothing.
  void flush() {
    const size_t space = _run.find(' ');
    if (space != std::string::npos && _run.compare(0, space, _run, space + 1, std::string::npos) != 0)
      _sink.write("<polyline points=\"" + _run + "\"/>\n");
    _run.clear();
    _open = false;
  }

 private:
  Sink& _sink;
  const Projector& _project;
  const DepthBuffer& _depth;
  std::string _run;
  bool _open = false;
};

}  // namespace

PictureCounts exportSvg(const Scene& scene, const std::string& path, const PictureOptions& options) {
  const Projector project(scene, camera(options.view), options);
  const Camera& cam = project.cam();
  DepthBuffer depth(options.width, options.height);

  // Faces turned to the viewer, into the depth buffer.
  PictureCounts counts;
  std::vector<Face> faces;
  for (const SceneNode& node : scene.nodes) {
    for (const MvTriStripSet* shape : node.shapes) {
      forEachTriangle(*shape, [&](int i, int j, int k) {
        ++counts.total;
        const V3 a = vertex(*shape, i), b = vertex(*shape, j), c = vertex(*shape, k);
        if (!facesViewer(a, b, c, cam)) return;
        depth.draw(project(a), project(b), project(c));
        faces.push_back({(dot(a, cam.toEye) + dot(b, cam.toEye) + dot(c, cam.toEye)) / 3.0, shape, {i, j, k}});
      });
    }
  }
  // Only faces that show somewhere are drawn, far to near.
  faces.erase(std::remove_if(faces.begin(), faces.end(),
                             [&](const Face& f) {
                               return !depth.shows(project(vertex(*f.shape, f.corner[0])),
                                                   project(vertex(*f.shape, f.corner[1])),
                                                   project(vertex(*f.shape, f.corner[2])), project.tolerance());
                             }),
              faces.end());
  std::stable_sort(faces.begin(), faces.end(), [](const Face& x, const Face& y) { return x.depth < y.depth; });
  counts.drawn = static_cast<long long>(faces.size());

  std::vector<std::array<V3, 2>> silhouettes;
  const double grid = project.tolerance() * 1e-3;
  for (const SceneNode& node : scene.nodes)
    for (const MvTriStripSet* shape : node.shapes) addSilhouettes(*shape, cam, grid, silhouettes);

  writeStreamed(path, [&](Sink& sink) {
    const std::string w = std::to_string(options.width), h = std::to_string(options.height);
    sink.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w +
               "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h + "\">\n<rect width=\"" + w + "\" height=\"" +
               h + "\" fill=\"#f4f4f0\"/>\n<g stroke-linejoin=\"round\">\n");
    // Neighbours in drawing order with one fill (facets of one flat face, as
    // a rule) go into one path, which shows no seams between them.
    std::string open;
    for (const Face& f : faces) {
      const MvVec4<float> color = shapeColor(*f.shape);
      const V3 a = vertex(*f.shape, f.corner[0]), b = vertex(*f.shape, f.corner[1]),
               c = vertex(*f.shape, f.corner[2]);
      V3 n;
      facesViewer(a, b, c, cam, &n);
      const double shade = 0.35 + 0.65 * std::max(0.0, dot(n, cam.light));
      const std::string fill = hexColor(color[0] * shade, color[1] * shade, color[2] * shade);
      if (fill != open) {
        if (!open.empty()) sink.write("\"/>\n");
        sink.write("<path fill=\"" + fill + "\" stroke=\"" + fill + "\" stroke-width=\"1\" d=\"");
        open = fill;
      }
      sink.write("M" + point(project(a)) + "L" + point(project(b)) + "L" + point(project(c)) + "Z");
    }
    if (!open.empty()) sink.write("\"/>\n");
    sink.write("</g>\n<g fill=\"none\" stroke=\"#1e1e1e\" stroke-width=\"1.2\" stroke-linecap=\"round\" "
               "stroke-linejoin=\"round\">\n");
    EdgeWriter edges(sink, project, depth);
    for (const SceneNode& node : scene.nodes)
      for (const MvPolylineSet* set : node.edges)
        for (int l = 0; l < set->polylineCount(); ++l)
          edges.line(set->points() + 3 * static_cast<size_t>(set->lineStart(l)), set->lineLength(l));
    for (const auto& s : silhouettes) {
      edges.segment(s[0], s[1]);
      edges.flush();
    }
    const std::string caption = (options.caption.empty() ? "" : markupText(options.caption) + " \xc2\xb7 ") +
                                grouped(scene.parts) + (scene.parts == 1 ? " part" : " parts") + " \xc2\xb7 " +
                                grouped(counts.drawn) + " of " + grouped(counts.total) + " triangles drawn";
    sink.write("</g>\n<text x=\"" + std::to_string(static_cast<int>(kMargin)) + "\" y=\"" +
               std::to_string(options.height - 12) +
               "\" font-family=\"DejaVu Sans, Helvetica, Arial, sans-serif\" font-size=\"13\" fill=\"#55554f\">" +
               caption + "</text>\n</svg>\n");
  });
  return counts;
}

}  // namespace kmbrep
