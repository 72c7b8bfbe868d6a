#include "base/type_identity.h"

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
