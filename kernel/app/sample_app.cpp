#include "app/sample_app.h"

#include <atomic>
#include <cmath>

namespace ksamplehost {

namespace {

std::atomic<int> gHostStreamFormat{static_cast<int>(ksample::Format::Binary)};
std::atomic<std::vector<Segment>*> gSegmentSink{nullptr};

// A tolerance of the record divided by the refinement divisor dTol10.
double refined(double tolerance, const MvKMBrep::KmBrepTessParams& p) {
  return p.dTol10 > 0.0 ? tolerance / p.dTol10 : tolerance;
}

}  // namespace

ksample::Frustrum pluginFrustrum() {
  ksample::Frustrum f{};
  f.startFileFrustrum = startFileFrustrum;
  f.stopFileFrustrum = stopFileFrustrum;
  f.abortFileFrustrum = abortFileFrustrum;
  f.openWriteFrustrumFile = openWriteFrustrumFile;
  f.openReadFrustrumFile = openReadFrustrumFile;
  f.writeToFrustrumFile = writeToFrustrumFile;
  f.readFromFrustrumFile = readFromFrustrumFile;
  f.closeFrustrumFile = closeFrustrumFile;
  f.openSegment = mvOpenSegment;
  f.outputSegment = mvOutputSegment;
  f.closeSegment = mvCloseSegment;
  return f;
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

long long faceTriangleCount(int body, const MvKMBrep::KmBrepTessParams& params) {
  return ksample::faceTriangleCount(body, refined(params.dTol1, params), refined(params.dTol2, params));
}

void setSegmentSink(std::vector<Segment>* sink) { gSegmentSink = sink; }

SampleApp::SampleApp(const Options& options) {
  MvKMBrepLib::init();
  registerCallbacks(options);
  if (ksample::startSession(pluginFrustrum()) == ksample::kOk) {
    _ok = true;
  } else {
    _error = ksample::lastError();
  }
}

SampleApp::~SampleApp() {
  if (_ok) ksample::stopSession();
  registerCallbacks(Options(), false);
  MvKMBrepLib::fini();
}

namespace callbacks {

unsigned write(int count, const int* tags, unsigned writeNominalGeom) {
  const auto format = static_cast<ksample::Format>(gHostStreamFormat.load());
  return ksample::transmit(count, tags, "", 0, format, writeNominalGeom != 0) == ksample::kOk ? 1u : 0u;
}

unsigned read(int& count, int*& tags) {
  const auto format = static_cast<ksample::Format>(gHostStreamFormat.load());
  return ksample::receive("", 0, format, count, tags) == ksample::kOk ? 1u : 0u;
}

unsigned split(int count, int* tags, MvVec<int>& kmPartList) {
  // A split that fails keeps the received array and its bodies, so it gives
  // both back, also when the append's report throws.
  const auto giveBack = [&] {
    ksample::deleteBodies(count, tags);
    ksample::freeTags(tags);
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
  return ksample::deleteBodies(count, tags) == ksample::kOk ? 1u : 0u;
}

unsigned version(int& major, int& minor) { return ksample::version(major, minor) == ksample::kOk ? 1u : 0u; }

unsigned tessellate(int body, const MvKMBrep::KmBrepTessParams& params, MvAutoPtrVec<MvTriStripSet>& shapes,
                    MvIVec<int>& map, MvAVec<MvVec4<float>>& colors) {
  std::vector<ksample::FaceMesh> faces;
  if (ksample::tessellateFaces(body, refined(params.dTol1, params), refined(params.dTol2, params), faces) !=
      ksample::kOk) {
    return 0;
  }
  for (const ksample::FaceMesh& face : faces) {
    MvAutoPtr<MvTriStripSet> shape(new MvTriStripSet(MvVertexShape::MV_BIND_PER_VERTEX,
                                                     MvVertexShape::MV_BIND_PER_VERTEX,
                                                     MvVertexShape::MV_BIND_NONE));
    if (!shape) return 0;
    for (const ksample::Strip& strip : face.strips) {
      const int n = static_cast<int>(strip.positions.size() / 3);
      if (!shape->addStrip(strip.positions.data(), strip.normals.data(), strip.texCoords.data(), nullptr, n))
        return 0;
    }
    const MvVec4<float> color{{face.color[0], face.color[1], face.color[2], face.color[3]}};
    if (!shapes.append(shape) || !map.append(face.faceIndex) || !colors.append(color)) return 0;
  }
  return 1;
}

unsigned tessellateEdges(int body, MvKMBrep::KmBrepTessParams& params, MvAutoPtrVec<MvPolylineSet>& sets) {
  std::vector<std::vector<float>> lines;
  if (ksample::tessellateEdges(body, refined(params.dTol3, params), refined(params.dTol4, params), lines) !=
      ksample::kOk) {
    return 0;
  }
  if (lines.empty()) return 1;
  MvAutoPtr<MvPolylineSet> set(new MvPolylineSet());
  if (!set) return 0;
  for (const std::vector<float>& line : lines)
    if (!set->addPolyline(line.data(), static_cast<int>(line.size() / 3))) return 0;
  return sets.append(set);
}

unsigned boundingBox(int body, MvVec3<float>& minPt, MvVec3<float>& maxPt) {
  return ksample::boundingBox(body, minPt.v, maxPt.v) == ksample::kOk ? 1u : 0u;
}

unsigned bodyColor(int body) {
  ksample::Rgba rgba{};
  return ksample::bodyColor(body, rgba) ? 1u : 0u;
}

unsigned freeMemory(void* p) {
  ksample::freeTags(static_cast<int*>(p));
  return 1;
}

unsigned copy(int tag, int& copy) { return ksample::copyBody(tag, copy) == ksample::kOk ? 1u : 0u; }

int graphics(int type, int tag, const int* index, int count, const double* points, int closed, const int*) {
  if (std::vector<Segment>* sink = gSegmentSink.load()) {
    Segment s;
    s.type = type;
    s.tag = tag;
    s.index = index ? index[0] : 0;
    if (points && count > 0) s.points.assign(points, points + 3 * static_cast<size_t>(count));
    s.closed = closed;
    sink->push_back(std::move(s));
  }
  return 0;
}

}  // namespace callbacks

}  // namespace ksamplehost
