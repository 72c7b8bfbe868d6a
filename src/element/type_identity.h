// Registration of the library's classes with the host type system, shared by
// MvKMBrep and MvKMBrepOnFly.
#ifndef MVKM_ELEMENT_TYPE_IDENTITY_H
#define MVKM_ELEMENT_TYPE_IDENTITY_H

#include "host/MvBase.h"

namespace mvkm {

// Registers a class under its GUID and name with MvBase as parent, unless
// `type` is already set.
void constructClassType(MvType*& type, const _MvIID& iid, const char* name, MvBase* (*factory)());
// Destroys the record (if any) and clears `type`.
void destructClassType(MvType*& type);
// The class's record; while the class is not registered, MvBase's record
// stands in so that type queries never dereference null.
const MvType& typeOrBase(const MvType* type);

// Copies `self` through T's copy constructor into out. 1 with out set, or
// 0 with out null when no memory is left or the copy constructor throws.
template <class T>
unsigned cloneObject(const T& self, MvBase*& out) {
  out = nullptr;
  try {
    out = new T(self);
  } catch (...) {
    out = nullptr;
  }
  return out ? 1u : 0u;
}

}  // namespace mvkm

#endif
