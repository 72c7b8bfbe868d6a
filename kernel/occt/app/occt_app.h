// The Open CASCADE host application: it brings up the library and the OCCT
// adapter, hands the adapter the plug-in's frustrum entry points and
// registers the adapter's jobs as the element's callbacks.
//
// How the callbacks read the tessellation record: the chord deflection is
// dTol1 and the angular deflection dTol2 (radians), each divided by dTol10
// when that is positive, so a higher level gives finer facets. Edges are
// taken from the face mesh, so the edge callback meshes with those same face
// tolerances (dTol3 and dTol4 are not used): edge lines then run exactly
// along the face triangles' sides.
#ifndef KOCCTAPP_OCCT_APP_H
#define KOCCTAPP_OCCT_APP_H

#include <string>
#include <vector>

#include "MvKMBrep61.h"
#include "kocct/kernel.h"

namespace kocctapp {

struct Options {
  // Format of the adapter's transmit into host streams.
  kocct::Format hostStreamFormat = kocct::Format::Binary;
  // Also register the split callback (every received tag becomes a part).
  bool registerSplit = false;
};

// One graphical-output segment as the go callback received it.
struct Segment {
  int type = 0;
  int tag = 0;
  int index = 0;
  std::vector<double> points;
};

// Library, adapter session and callbacks for the lifetime of the object. One
// instance at a time per process (and not beside the sample application,
// which registers the same callbacks).
class OcctApp {
 public:
  explicit OcctApp(const Options& options = Options());
  ~OcctApp();
  OcctApp(const OcctApp&) = delete;
  OcctApp& operator=(const OcctApp&) = delete;

  // False when the adapter session could not be started; error() says why.
  bool ok() const { return _ok; }
  const std::string& error() const { return _error; }

 private:
  bool _ok = false;
  std::string _error;
};

// Registers (or, with false, clears) every kernel callback of the element.
void registerCallbacks(const Options& options, bool on = true);

// Segments drawn through the go callback are appended to *sink while it is
// set (null stops collecting).
void setSegmentSink(std::vector<Segment>* sink);

// The face and edge tolerances the callbacks derive from a record.
double chordTolerance(const MvKMBrep::KmBrepTessParams& params);
double angleTolerance(const MvKMBrep::KmBrepTessParams& params);

// The triangles the tessellation callback makes for the part from the
// record (already sized): the part is meshed and its triangles counted; -1
// when it cannot be.
long long faceTriangleCount(int body, const MvKMBrep::KmBrepTessParams& params);

// The adapter's jobs, as registered.
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

}  // namespace kocctapp

#endif
