#include "element/type_identity.h"

#include "element/MvKMBrep.h"

namespace mvkm {

void constructClassType(MvType*& type, const _MvIID& iid, const char* name, MvBase* (*factory)()) {
  const MvGUID guid(iid);
  if (!MvBase::__type) MvBase::constructType();
  if (type) return;
  MvBase::createMvType(type, guid, MvString(name), *MvBase::__type, factory);
}

void destructClassType(MvType*& type) {
  delete type;
  type = nullptr;
}

const MvType& typeOrBase(const MvType* type) {
  if (type) return *type;
  if (!MvBase::__type) MvBase::constructType();
  return *MvBase::__type;
}

}  // namespace mvkm

// {873A70E0-2AC9-11D1-9B6B-0080C7BB5997}
static constexpr _MvIID kMvKMBrepIID =
    mvMakeIID(0x873A70E0, 0x2AC9, 0x11D1, 0x9B, 0x6B, 0x00, 0x80, 0xC7, 0xBB, 0x59, 0x97);

MvType* MvKMBrep::__type = nullptr;

void MvKMBrep::constructType() {
  mvkm::constructClassType(__type, kMvKMBrepIID, "MvKMBrep", &MvKMBrep::createInstance);
}

void MvKMBrep::destructType() { mvkm::destructClassType(__type); }

MvBase* MvKMBrep::createInstance() { return new MvKMBrep(); }

const MvType& MvKMBrep::classTypeID() { return mvkm::typeOrBase(__type); }

const MvType* MvKMBrep::classTypePtr() { return __type; }

const MvType& MvKMBrep::typeRef() { return mvkm::typeOrBase(__type); }

const MvGUID& MvKMBrep::typeGUID() const {
  static const MvGUID guid(kMvKMBrepIID);
  return __type ? __type->guid() : guid;
}

unsigned MvKMBrep::isOfType(const MvType& t) const { return mvkm::typeOrBase(__type).isA(t); }

unsigned MvKMBrep::isOfExactType(const MvType& t) const { return &t == __type ? 1u : 0u; }

unsigned MvKMBrep::isStreamable() const { return 1; }

const MvType& MvKMBrep::type() const { return mvkm::typeOrBase(__type); }

unsigned MvKMBrep::_clone(MvBase*& out) const { return mvkm::cloneObject(*this, out); }
