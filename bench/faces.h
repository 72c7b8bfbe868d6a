// Face shapes for the merge figures and the peer table: `faces` strips of
// `trianglesPerFace` triangles each, with per-vertex normals, texture
// coordinates and colours, and one colour per face (face f gets colour
// f % colours; colours are all distinct below 1,000,000).
#ifndef MV_BENCH_FACES_H
#define MV_BENCH_FACES_H

#include "MvKMBrep61.h"

namespace mvbench {

struct Faces {
  MvAutoPtrVec<MvTriStripSet> shapes;
  MvAVec<MvVec4<float>> colors;
  long long triangles = 0;
};

// Fills `out`; false when a shape could not be made.
bool makeFaces(Faces& out, int faces, int trianglesPerFace, int colors);

// Colour number i (distinct for every i below 1,000,000; alpha 1).
MvVec4<float> colorOf(int i);

// One merge by the library; the merged shapes are released untimed. Its
// CPU seconds, or -1 when it failed or did not give `groups` shapes holding
// all triangles.
double mergePass(const Faces& faces, int groups);

// Copies the floats the merge writes (every triangle's three vertices with
// their normals, texture coordinates and colours, every second triangle of
// a strip turned) into memory allocated for the pass and not yet touched:
// the floor for writing a new shape. With `perGroup`, each colour group
// gets its own four arrays, as each merged shape has. CPU seconds.
double copyPass(const Faces& faces, int groups, bool perGroup);

}  // namespace mvbench

#endif
