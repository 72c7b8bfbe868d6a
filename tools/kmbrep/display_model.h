// Display shapes of elements: faces merged by colour and edge polylines.
#ifndef KMBREP_DISPLAY_MODEL_H
#define KMBREP_DISPLAY_MODEL_H

#include "MvKMBrep61.h"

#include <vector>

namespace kmbrep {

struct TessChoice {
  bool absolute = false;
  int level = 0;
};

// The library's tessellation record for the choice: the absolute record or
// the relative one at the level.
MvKMBrep::KmBrepTessParams tessParams(const TessChoice& choice);

struct DisplayModel {
  MvAutoPtrVec<MvTriStripSet> shapes;  // one per colour and element
  // The distinct colours of all shapes of the file, first seen first: an
  // export writes one material per entry. materialOf[s] is shape s's entry.
  std::vector<MvVec4<float>> materials;
  std::vector<int> materialOf;
  MvAutoPtrVec<MvPolylineSet> edges;
  long long triangles = 0;
  int colors = 0;  // materials.size()
  int polylines = 0;
};

// Tessellates every element; throws ToolError when the library reports a
// failure.
DisplayModel tessellate(const std::vector<MvKMBrep*>& elements, const TessChoice& choice);

// The triangles the face shapes of the elements will hold, as the kernel
// counts them from the same settings, without making them. Throws ToolError.
long long estimateTriangles(const std::vector<MvKMBrep*>& elements, const TessChoice& choice);

// The colour of a merged shape: its material's diffuse colour, or grey.
MvVec4<float> shapeColor(const MvTriStripSet& shape);

}  // namespace kmbrep

#endif
