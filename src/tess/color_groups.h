// Grouping of face colours by exact equality, for merging the faces of one
// colour into one shape.
#ifndef MVKM_TESS_COLOR_GROUPS_H
#define MVKM_TESS_COLOR_GROUPS_H

#include "host/MvVec.h"

namespace mvkm {

// Appends to colorArray every distinct colour of `colors`, in order of first
// appearance, and to faceColorMap, in parallel, one list per distinct colour
// holding in ascending order the indices of the colours equal to it.
// Equality is exact on all four components: +0 equals -0, and a colour with
// a NaN component equals no colour, so each index carrying one is a group of
// its own. Runs in time linear in the number of colours (hashing).
// Returns 1; 0 when storage ran out (reported by the vectors), with the
// results then incomplete.
unsigned groupByColor(const MvAVec<MvVec4<float>>& colors, MvAVec<MvVec4<float>>& colorArray,
                      MvAVec<MvIVec<int>>& faceColorMap);

}  // namespace mvkm

#endif
