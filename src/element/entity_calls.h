// The element's copy and release registrations, as the tag-copy helpers
// take them.
#ifndef MVKM_ELEMENT_ENTITY_CALLS_H
#define MVKM_ELEMENT_ENTITY_CALLS_H

#include "base/tag_copies.h"
#include "element/MvKMBrep.h"

namespace mvkm {

inline EntityCalls entityCalls() { return {MvKMBrep::pfKmCopyCB, MvKMBrep::pfKmReleaseCB}; }

}  // namespace mvkm

#endif
