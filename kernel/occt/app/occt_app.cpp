#include "app/occt_app.h"

#include <atomic>
#include <cmath>

#include "app/sample_app.h"

namespace kocctapp {

namespace {

std::atomic<int> gHostStreamFormat{static_cast<int>(kocct::Format::Binary)};
std::atomic<std::vector<Segment>*> gSegmentSink{nullptr};

double refined(double tolerance, const MvKMBrep::KmBrepTessParams& p) {
  return p.dTol10 > 0.0 ? tolerance / p.dTol10 : tolerance;
}

// One face mesh as a strip set: each triangle a strip of three vertices.
MvAutoPtr<MvTriStripSet> stripsOf(const kocct::FaceMesh& face) {
  MvAutoPtr<MvTriStripSet> shape(new MvTriStripSet(MvVertexShape::MV_BIND_PER_VERTEX, MvVertexShape::MV_BIND_NONE,
                                                   MvVertexShape::MV_BIND_NONE));
  const std::size_t triangles = face.triangles.size() / 3;
  if (!shape || !shape->reserve(static_cast<long long>(triangles) * 3, static_cast<long long>(triangles))) {
    return MvAutoPtr<MvTriStripSet>();
  }
  float positions[9];
  float normals[9];
  for (std::size_t t = 0; t < triangles; ++t) {
    for (int k = 0; k < 3; ++k) {
      const std::size_t node = static_cast<std::size_t>(face.triangles[t * 3 + static_cast<std::size_t>(k)]);
      for (int d = 0; d < 3; ++d) {
        positions[k * 3 + d] = face.positions[node * 3 + static_cast<std::size_t>(d)];
        normals[k * 3 + d] = face.normals[node * 3 + static_cast<std::size_t>(d)];
      }
    }
    if (!shape->addStrip(positions, normals, nullptr, nullptr, 3)) return MvAutoPtr<MvTriStripSet>();
  }
  return shape;
}

}  // namespace

double chordTolerance(const MvKMBrep::KmBrepTessParams& params) { return refined(params.dTol1, params); }
double angleTolerance(const MvKMBrep::KmBrepTessParams& params) { return refined(params.dTol2, params); }

long long faceTriangleCount(int body, const MvKMBrep::KmBrepTessParams& params) {
  long long count = 0;
  return kocct::triangleCount(body, chordTolerance(params), angleTolerance(params), count) == kocct::kOk ? count : -1;
}

void registerCallbacks(const Options& options, bool on) {
  gHostStreamFormat = static_cast<int>(options.hostStreamFormat);
  MvKMBrep::setKmWriteCallback(on ? callbacks::write : nullptr);
  MvKMBrep::setKmReadCallback(on ? callbacks::read : nullptr);
  MvKMBrep::setKmSplitCallback(on && options.registerSplit ? callbacks::split : nullptr);
  MvKMBrep::setKmReleaseCallback(on ? callbacks::release : nullptr);
  MvKMBrep::setKmVersionCallback(on ? callbacks::version : nullptr);
  MvKMBrep::setKmTessCallback(on ? callbacks::tessellate : nullptr);
  MvKMBrep::setKmEdgeTessCallback(on ? callbacks::tessellateEdges : nullptr);
  MvKMBrep::setKmBBoxCallback(on ? callbacks::boundingBox : nullptr);
  MvKMBrep::setKmBodyColorCallback(on ? callbacks::bodyColor : nullptr);
  MvKMBrep::setKmMemoryRelCallback(on ? callbacks::freeMemory : nullptr);
  MvKMBrep::setKmCopyCallback(on ? callbacks::copy : nullptr);
  MvKMBrep::setKmGoCallback(on ? callbacks::graphics : nullptr);
}

void setSegmentSink(std::vector<Segment>* sink) { gSegmentSink = sink; }

OcctApp::OcctApp(const Options& options) {
  MvKMBrepLib::init();
  registerCallbacks(options);
  if (kocct::startSession(ksamplehost::pluginFrustrum()) == kocct::kOk) {
    _ok = true;
  } else {
    _error = kocct::lastError();
  }
}

OcctApp::~OcctApp() {
  if (_ok) kocct::stopSession();
  registerCallbacks(Options(), false);
  MvKMBrepLib::fini();
}

namespace callbacks {

unsigned write(int count, const int* tags, unsigned writeNominalGeom) {
  const auto format = static_cast<kocct::Format>(gHostStreamFormat.load());
  return kocct::transmit(count, tags, "", 0, format, writeNominalGeom != 0) == kocct::kOk ? 1u : 0u;
}

unsigned read(int& count, int*& tags) {
  const auto format = static_cast<kocct::Format>(gHostStreamFormat.load());
  return kocct::receive("", 0, format, count, tags) == kocct::kOk ? 1u : 0u;
}

unsigned split(int count, int* tags, MvVec<int>& kmPartList) {
  // A split that fails keeps the received array and its parts, so it gives
  // both back, also when the append's report throws.
  const auto giveBack = [&] {
    kocct::deleteParts(count, tags);
    kocct::freeTags(tags);
  };
  bool appended = false;
  try {
    appended = kmPartList.append(tags, count) != 0;
  } catch (...) {
    giveBack();
    throw;
  }
  if (!appended) giveBack();
  return appended ? 1u : 0u;
}

unsigned release(int count, const int* tags) {
  if (count <= 0 || !tags) return 1;
  return kocct::deleteParts(count, tags) == kocct::kOk ? 1u : 0u;
}

unsigned version(int& major, int& minor) { return kocct::version(major, minor) == kocct::kOk ? 1u : 0u; }

unsigned tessellate(int body, const MvKMBrep::KmBrepTessParams& params, MvAutoPtrVec<MvTriStripSet>& shapes,
                    MvIVec<int>& map, MvAVec<MvVec4<float>>& colors) {
  std::vector<kocct::FaceMesh> faces;
  if (kocct::tessellateFaces(body, chordTolerance(params), angleTolerance(params), faces) != kocct::kOk) return 0;
  for (const kocct::FaceMesh& face : faces) {
    MvAutoPtr<MvTriStripSet> shape = stripsOf(face);
    if (!shape) return 0;
    const MvVec4<float> color{{face.color.r, face.color.g, face.color.b, face.color.a}};
    if (!shapes.append(shape) || !map.append(face.faceIndex) || !colors.append(color)) return 0;
  }
  return 1;
}

unsigned tessellateEdges(int body, MvKMBrep::KmBrepTessParams& params, MvAutoPtrVec<MvPolylineSet>& sets) {
  std::vector<std::vector<float>> lines;
  if (kocct::tessellateEdges(body, chordTolerance(params), angleTolerance(params), lines) != kocct::kOk) return 0;
  if (lines.empty()) return 1;
  MvAutoPtr<MvPolylineSet> set(new MvPolylineSet());
  if (!set) return 0;
  for (const std::vector<float>& line : lines)
    if (!set->addPolyline(line.data(), static_cast<int>(line.size() / 3))) return 0;
  return sets.append(set);
}

unsigned boundingBox(int body, MvVec3<float>& minPt, MvVec3<float>& maxPt) {
  double lo[3], hi[3];
  if (kocct::boundingBox(body, lo, hi) != kocct::kOk) return 0;
  for (int i = 0; i < 3; ++i) {
    // Rounded outwards where single precision loses the exact value, so the
    // box still holds the part.
    minPt.v[i] = static_cast<float>(lo[i]);
    maxPt.v[i] = static_cast<float>(hi[i]);
    if (minPt.v[i] > lo[i]) minPt.v[i] = std::nextafter(minPt.v[i], -INFINITY);
    if (maxPt.v[i] < hi[i]) maxPt.v[i] = std::nextafter(maxPt.v[i], INFINITY);
  }
  return 1;
}

unsigned bodyColor(int body) { return kocct::hasColor(body) ? 1u : 0u; }

unsigned freeMemory(void* p) {
  kocct::freeTags(static_cast<int*>(p));
  return 1;
}

unsigned copy(int tag, int& copy) { return kocct::copyPart(tag, copy) == kocct::kOk ? 1u : 0u; }

int graphics(int type, int tag, const int* index, int count, const double* points, int, const int*) {
  if (std::vector<Segment>* sink = gSegmentSink.load()) {
    Segment s;
    s.type = type;
    s.tag = tag;
    s.index = index ? index[0] : 0;
    if (points && count > 0) s.points.assign(points, points + 3 * static_cast<size_t>(count));
    sink->push_back(std::move(s));
  }
  return 0;
}

}  // namespace callbacks

}  // namespace kocctapp
