// Registration of the library's classes with the host type system, and the
// type-identity members that MvKMBrep and MvKMBrepOnFly share.
#ifndef MVKM_BASE_TYPE_IDENTITY_H
#define MVKM_BASE_TYPE_IDENTITY_H

#include "host/MvBase.h"
#include "host/MvErrorState.h"

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
// 0 with out null when the copy constructor throws or no memory is left;
// the latter is reported under className with `condition` and code 20, so
// that a host passing the failure on passes a real one.
template <class T>
unsigned cloneObject(const T& self, const char* className, const char* condition, MvBase*& out) {
  out = nullptr;
  bool threw = false;
  try {
    out = new T(self);
  } catch (...) {
    threw = true;
  }
  if (!out && !threw) MvErrorState::throwStdError(className, "_clone", condition, MvErrorState::kAllocation);
  return out ? 1u : 0u;
}

}  // namespace mvkm

// Defines the type-identity members of `Class` (static __type, the factory,
// the type queries and _clone), registered under its name and the GUID of
// `iid`, a constexpr _MvIID.
#define MVKM_DEFINE_TYPE_IDENTITY(Class, iid)                                                        \
  MvType* Class::__type = nullptr;                                                                   \
  void Class::constructType() { mvkm::constructClassType(__type, iid, #Class, &Class::createInstance); } \
  void Class::destructType() { mvkm::destructClassType(__type); }                                    \
  MvBase* Class::createInstance() { return new Class(); }                                            \
  const MvType& Class::classTypeID() { return mvkm::typeOrBase(__type); }                            \
  const MvType* Class::classTypePtr() { return __type; }                                             \
  const MvType& Class::typeRef() { return mvkm::typeOrBase(__type); }                                \
  const MvGUID& Class::typeGUID() const {                                                            \
    static const MvGUID guid(iid);                                                                   \
    return __type ? __type->guid() : guid;                                                           \
  }                                                                                                  \
  unsigned Class::isOfType(const MvType& t) const { return mvkm::typeOrBase(__type).isA(t); }        \
  unsigned Class::isOfExactType(const MvType& t) const { return &t == __type ? 1u : 0u; }            \
  unsigned Class::isStreamable() const { return 1; }                                                 \
  const MvType& Class::type() const { return mvkm::typeOrBase(__type); }                             \
  unsigned Class::_clone(MvBase*& out) const {                                                      \
    return mvkm::cloneObject(*this, #Class, "Allocation failed: out = new " #Class "(*this)", out);  \
  }

#endif
