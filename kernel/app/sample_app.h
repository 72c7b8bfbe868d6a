// The sample host application: it brings up the library and the sample
// kernel, hands the kernel the plug-in's frustrum entry points and registers
// the kernel's jobs as the element's callbacks.
//
// How the callbacks read the tessellation record: the chord tolerance is
// dTol1 (faces) or dTol3 (edges), the angular tolerance dTol2 (faces) or
// dTol4 (edges), each divided by dTol10 when that is positive, so a higher
// level (a larger dTol10) gives finer facets.
#ifndef KSAMPLEHOST_SAMPLE_APP_H
#define KSAMPLEHOST_SAMPLE_APP_H

#include "MvKMBrep61.h"
#include "ksample/kernel.h"

#include <string>
#include <vector>

namespace ksamplehost {

struct Options {
  // Format of the kernel's transmit into host streams.
  ksample::Format hostStreamFormat = ksample::Format::Binary;
  // Also register the split callback (every received tag becomes a part).
  bool registerSplit = false;
};

// One graphical-output segment as the go callback received it.
struct Segment {
  int type = 0;
  int tag = 0;
  int index = 0;
  std::vector<double> points;
  int closed = 0;
};

// Library, kernel session and callbacks for the lifetime of the object. One
// instance at a time per process.
class SampleApp {
 public:
  explicit SampleApp(const Options& options = Options());
  ~SampleApp();
  SampleApp(const SampleApp&) = delete;
  SampleApp& operator=(const SampleApp&) = delete;

  // False when the kernel session could not be started; error() says why.
  bool ok() const { return _ok; }
  const std::string& error() const { return _error; }

 private:
  bool _ok = false;
  std::string _error;
};

// The plug-in's entry points as the kernel's frustrum table.
ksample::Frustrum pluginFrustrum();

// Registers (or, with false, clears) every kernel callback of the element.
void registerCallbacks(const Options& options, bool on = true);

// Segments drawn through the go callback are appended to *sink while it is
// set (null stops collecting).
void setSegmentSink(std::vector<Segment>* sink);

// The triangles the tessellation callback makes for the body from the
// record (already sized), counted by the kernel without making them; -1
// when the body does not exist.
long long faceTriangleCount(int body, const MvKMBrep::KmBrepTessParams& params);

// The kernel jobs, as registered.
namespace callbacks {
unsigned write(int count, const int* tags, unsigned writeNominalGeom);
unsigned read(int& count, int*& tags);
unsigned split(int count, int* tags, MvVec<int>& kmPartList);
unsigned release(int count, const int* tags);
unsigned version(int& major, int& minor);
unsigned tessellate(int body, const MvKMBrep::KmBrepTessParams& params, MvAutoPtrVec<MvTriStripSet>& shapes,
                    MvIVec<int>& map, MvAVec<MvVec4<float>>& colors);
unsigned tessellateEdges(int body, MvKMBrep::KmBrepTessParams& params, MvAutoPtrVec<MvPolylineSet>& sets);
unsigned boundingBox(int body, MvVec3<float>& minPt, MvVec3<float>& maxPt);
unsigned bodyColor(int body);
unsigned freeMemory(void* p);
unsigned copy(int tag, int& copy);
int graphics(int type, int tag, const int* index, int count, const double* points, int closed, const int* extra);
}  // namespace callbacks

}  // namespace ksamplehost

#endif
