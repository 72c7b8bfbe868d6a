#include "kmbrep/export_svg.h"

#include "kmbrep/output_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <vector>

namespace kmbrep {

namespace {

using V3 = std::array<double, 3>;

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

// An orthographic camera looking at the model from above and in front.
struct Camera {
  V3 toEye = normalised({1.0, -1.4, 1.1});
  V3 right = normalised(cross({0.0, 0.0, 1.0}, toEye));
  V3 up = cross(toEye, right);
  V3 light = normalised({0.6, -0.5, 1.0});
};

struct Face {
  std::array<std::array<double, 2>, 3> screen;
  double depth;
  std::string fill;
};

std::string hexColour(double r, double g, double b) {
  auto channel = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", channel(r), channel(g), channel(b));
  return text;
}

}  // namespace

long long exportSvg(const DisplayModel& model, const std::string& path) {
  const Camera cam;
  std::vector<Face> faces;
  double minX = std::numeric_limits<double>::max(), minY = minX;
  double maxX = -minX, maxY = -minX;
  auto project = [&](const V3& p) {
    const std::array<double, 2> s{dot(p, cam.right), -dot(p, cam.up)};
    minX = std::min(minX, s[0]);
    maxX = std::max(maxX, s[0]);
    minY = std::min(minY, s[1]);
    maxY = std::max(maxY, s[1]);
    return s;
  };
  for (int i = 0; i < model.shapes.length(); ++i) {
    const MvVec4<float> c = shapeColour(*model.shapes[i]);
    MvAutoPtr<MvTriIter> it = model.shapes[i]->getTriIter();
    if (!it) throw ToolError{"cannot walk the triangles of shape " + std::to_string(i)};
    it->reset();
    for (const MvTriangle* t = it->next(1); t; t = it->next(1)) {
      const V3 a = toV3(t->vertices[0]), b = toV3(t->vertices[1]), d = toV3(t->vertices[2]);
      const V3 n = normalised(cross(sub(b, a), sub(d, a)));
      if (dot(n, cam.toEye) <= 0.0) continue;  // facing away
      const double shade = 0.35 + 0.65 * std::max(0.0, dot(n, cam.light));
      Face f;
      f.screen = {project(a), project(b), project(d)};
      f.depth = (dot(a, cam.toEye) + dot(b, cam.toEye) + dot(d, cam.toEye)) / 3.0;
      f.fill = hexColour(c[0] * shade, c[1] * shade, c[2] * shade);
      faces.push_back(std::move(f));
    }
  }
  std::vector<std::vector<std::array<double, 2>>> lines;
  for (int i = 0; i < model.edges.length(); ++i) {
    const MvPolylineSet& set = *model.edges[i];
    for (int l = 0; l < set.polylineCount(); ++l) {
      std::vector<std::array<double, 2>> line;
      for (int p = 0; p < set.lineLength(l); ++p) line.push_back(project(toV3(set.points() + 3 * (set.lineStart(l) + p))));
      lines.push_back(std::move(line));
    }
  }
  std::sort(faces.begin(), faces.end(), [](const Face& x, const Face& y) { return x.depth < y.depth; });

  const double width = 1024.0, height = 768.0, margin = 24.0;
  const double spanX = std::max(maxX - minX, 1e-9), spanY = std::max(maxY - minY, 1e-9);
  const double scale = faces.empty() && lines.empty()
                           ? 1.0
                           : std::min((width - 2 * margin) / spanX, (height - 2 * margin) / spanY);
  const double offX = (width - spanX * scale) / 2.0, offY = (height - spanY * scale) / 2.0;
  auto point = [&](const std::array<double, 2>& s) {
    char text[48];
    std::snprintf(text, sizeof text, "%.2f,%.2f", offX + (s[0] - minX) * scale, offY + (s[1] - minY) * scale);
    return std::string(text);
  };

  std::ostringstream svg;
  svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1024\" height=\"768\" viewBox=\"0 0 1024 768\">\n"
      << "<rect width=\"1024\" height=\"768\" fill=\"#f4f4f0\"/>\n<g stroke-linejoin=\"round\">\n";
  for (const Face& f : faces) {
    svg << "<polygon points=\"" << point(f.screen[0]) << ' ' << point(f.screen[1]) << ' ' << point(f.screen[2])
        << "\" fill=\"" << f.fill << "\" stroke=\"" << f.fill << "\" stroke-width=\"0.6\"/>\n";
  }
  svg << "</g>\n<g fill=\"none\" stroke=\"#1e1e1e\" stroke-opacity=\"0.7\" stroke-width=\"1.1\">\n";
  for (const auto& line : lines) {
    svg << "<polyline points=\"";
    for (size_t p = 0; p < line.size(); ++p) svg << (p ? " " : "") << point(line[p]);
    svg << "\"/>\n";
  }
  svg << "</g>\n</svg>\n";
  writeWholeFile(path, svg.str());
  return static_cast<long long>(faces.size());
}

}  // namespace kmbrep
