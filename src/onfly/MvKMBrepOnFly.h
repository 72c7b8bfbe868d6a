// MvKMBrepOnFly: kernel entities loaded on demand for one host B-rep node.
// The holder owns the entities of its two lists (cleaned and uncleaned):
// unloading or destroying it releases them through the release callback,
// copying it makes kernel copies through the copy callback. No operation
// takes the kernel lock.
#ifndef MVKM_ONFLY_KMBREPONFLY_H
#define MVKM_ONFLY_KMBREPONFLY_H

#include "host/MvBase.h"
#include "host/MvExport.h"
#include "host/MvShapes.h"
#include "host/MvVec.h"

class MVKM_API MvKMBrepOnFly : public MvBase {
 public:
  MvKMBrepOnFly();
  // Shares src's B-rep node and auxiliary object and copies its entities
  // through the copy callback (cleaned first); copying stops silently at the
  // first failure, or at once when no copy callback is registered.
  MvKMBrepOnFly(const MvKMBrepOnFly& src);
  // Takes src's node and auxiliary object and appends copies of its
  // entities behind the target's own (a snapshot when src is the target).
  MvKMBrepOnFly& operator=(const MvKMBrepOnFly& src);

  // The linked node, or null; no reference added.
  MvBrep* mvBrep() const { return _pMvBrep.get(); }
  // Links the node (null unlinks); always 1.
  unsigned setMvBrep(MvBrep* brep);
  // Appends the tags to the cleaned (bCleaned nonzero) or uncleaned list; the
  // holder owns them from now on. Always 1 (a failed append is reported by
  // the vector).
  unsigned appendKmEntity(MvVec<int> tags, unsigned bCleaned);
  // Removes entry index of the selected list without releasing it; always 1
  // (a bad index is reported by the vector).
  unsigned removeKmEntity(int index, unsigned bCleaned);
  MvVec<int> kmEntity() const { return _vKmEntity; }
  MvVec<int> kmUnCleanedEntity() const { return _vKmUnCleanedEntity; }
  // Releases every listed entity (cleaned, then uncleaned: two callback calls,
  // also for empty lists) and empties both lists. Without a release callback
  // it reports ("MvKMBrepOnFly", "unloadKmEntity", "pfKmReleaseCB != NULL", 5),
  // keeps the lists and returns 0.
  unsigned unloadKmEntity();

  // --- Type identity ----------------------------------------------------------
  static void constructType();
  static void destructType();
  static MvBase* createInstance();
  static const MvType& classTypeID();
  static const MvType* classTypePtr();
  const MvGUID& typeGUID() const override;
  unsigned isOfType(const MvType& t) const override;
  unsigned isOfExactType(const MvType& t) const override;
  unsigned isStreamable() const override;
  const MvType& type() const override;

 protected:
  ~MvKMBrepOnFly() override;
  static const MvType& typeRef();

 private:
  unsigned _clone(MvBase*& out) const override;
  // Appends kernel copies of src's cleaned, then uncleaned entities.
  void copyEntitiesFrom(const MvKMBrepOnFly& src);

  static MvType* __type;

  MvAutoPtr<MvRefCounted> _pAux;
  MvAutoPtr<MvBrep> _pMvBrep;
  MvVec<int> _vKmEntity;
  MvVec<int> _vKmUnCleanedEntity;
};

#endif
