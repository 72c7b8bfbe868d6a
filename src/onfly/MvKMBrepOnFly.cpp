// The on-demand entity holder: owns the entities of its two lists.
#include "onfly/MvKMBrepOnFly.h"

#include "base/holder_link.h"
#include "base/report.h"
#include "base/type_identity.h"
#include "element/MvKMBrep.h"
#include "element/entity_calls.h"
#include "host/MvErrorState.h"

#include <utility>

MvKMBrepOnFly::MvKMBrepOnFly() = default;

MvBase* mvkm::holderObject(const MvKMBrepOnFly* holder) { return const_cast<MvKMBrepOnFly*>(holder); }

MvKMBrepOnFly::MvKMBrepOnFly(const MvKMBrepOnFly& src)
    : MvBase(), _pAux(src._pAux), _pMvBrep(src._pMvBrep) {
  // The destructor does not run for a constructor that throws: the copies
  // already listed are given back here.
  try {
    copyEntitiesFrom(src);
  } catch (...) {
    if (MvKMBrep::pfKmReleaseCB) unloadKmEntity();
    throw;
  }
}

MvKMBrepOnFly& MvKMBrepOnFly::operator=(const MvKMBrepOnFly& src) {
  _pMvBrep = src._pMvBrep;
  _pAux = src._pAux;
  copyEntitiesFrom(src);
  return *this;
}

MvKMBrepOnFly::~MvKMBrepOnFly() {
  // Without a release callback nothing can be given back; the lists are
  // simply freed. A throwing callback or report is stopped here.
  try {
    if (MvKMBrep::pfKmReleaseCB) unloadKmEntity();
  } catch (...) {
  }
}

void MvKMBrepOnFly::copyEntitiesFrom(const MvKMBrepOnFly& src) {
  // The copies are gathered before they are appended, so copying a holder
  // onto itself copies each listed entity once. A failed copy ends the
  // copying; the copies made so far stand.
  const mvkm::EntityCalls calls = mvkm::entityCalls();
  mvkm::UnownedTags cleaned(calls);
  mvkm::UnownedTags uncleaned(calls);
  const bool allCleaned =
      mvkm::copyTagsThroughKernel(calls, src._vKmEntity.begin(), src._vKmEntity.length(), cleaned.tags);
  if (allCleaned) {
    mvkm::copyTagsThroughKernel(calls, src._vKmUnCleanedEntity.begin(), src._vKmUnCleanedEntity.length(),
                                uncleaned.tags);
  }
  if (_vKmEntity.append(cleaned.tags)) cleaned.keep();
  if (_vKmUnCleanedEntity.append(uncleaned.tags)) uncleaned.keep();
}

unsigned MvKMBrepOnFly::setMvBrep(MvBrep* brep) {
  _pMvBrep = brep;
  return 1;
}

unsigned MvKMBrepOnFly::appendKmEntity(MvVec<int> tags, unsigned bCleaned) {
  (bCleaned ? _vKmEntity : _vKmUnCleanedEntity).append(tags);
  return 1;
}

unsigned MvKMBrepOnFly::removeKmEntity(int index, unsigned bCleaned) {
  (bCleaned ? _vKmEntity : _vKmUnCleanedEntity).remove(index, 1);
  return 1;
}

unsigned MvKMBrepOnFly::unloadKmEntity() {
  MvKMBrep::KmReleaseCB release = MvKMBrep::pfKmReleaseCB;
  if (!release) return mvkm::failIn("MvKMBrepOnFly", "unloadKmEntity", "pfKmReleaseCB != NULL");
  // The lists leave the holder before the first call, and their storage goes
  // with the locals: a callback that unloads or changes this holder finds it
  // empty and cannot make an entity go back twice.
  const MvVec<int> cleaned(std::move(_vKmEntity));
  const MvVec<int> uncleaned(std::move(_vKmUnCleanedEntity));
  release(cleaned.length(), cleaned.ptr());
  release(uncleaned.length(), uncleaned.ptr());
  return 1;
}

// {873A70E1-2AC9-11D1-9B6B-0080C7BB5997}
static constexpr _MvIID kMvKMBrepOnFlyIID =
    mvMakeIID(0x873A70E1, 0x2AC9, 0x11D1, 0x9B, 0x6B, 0x00, 0x80, 0xC7, 0xBB, 0x59, 0x97);

MVKM_DEFINE_TYPE_IDENTITY(MvKMBrepOnFly, kMvKMBrepOnFlyIID)
