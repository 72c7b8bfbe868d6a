// Giving an element's owned parts back, shared by removeAllParts and the
// destructor.
#ifndef MVKM_ELEMENT_OWNED_PARTS_H
#define MVKM_ELEMENT_OWNED_PARTS_H

#include "element/MvKMBrep.h"

namespace mvkm {

// Empties a part list and its flags and gives the owned parts (flag 0) back
// with one call of `release` (none when nothing is owned or `release` is
// null), in list order. Allocates nothing, so it cannot fail half way.
void releaseOwnedParts(MvVec<int>& tags, MvVec<unsigned int>& flags, MvKMBrep::KmReleaseCB release);

}  // namespace mvkm

#endif
