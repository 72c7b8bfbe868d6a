// MvKMBrep: the host element that carries exact solid-model parts of the
// kernel. A part is one kernel entity (a body) named by its tag; the element
// keeps its parts in order with one ownership flag each, gets every kernel
// job done through callbacks that the host application registers, writes
// itself into the host object stream and turns its parts into display shapes.
//
// Results are 1 for success and 0 for failure unless stated; failures are
// reported through MvErrorState with class "MvKMBrep".
#ifndef MVKM_ELEMENT_KMBREP_H
#define MVKM_ELEMENT_KMBREP_H

#include "host/MvBase.h"
#include "host/MvBox3f.h"
#include "host/MvExport.h"
#include "host/MvMutex.h"
#include "host/MvObjectStream.h"
#include "host/MvShapes.h"
#include "host/MvVec.h"

class MvKMBrepOnFly;

class MVKM_API MvKMBrep : public MvBase {
 public:
  // Tessellation settings handed to the tessellation callbacks. Relative
  // records (initializeTessParam) hold fractions of the element's box
  // diagonal until conditionTessParam sizes them once.
  struct KmBrepTessParams {
    unsigned bConditioned;
    unsigned uOption1, uOption2, uOption3, uOption4, uOption5, uOption6;
    unsigned uOption7, uOption8, uOption9, uOption10, uOption11;
    double dTol1, dTol2, dTol3, dTol4, dTol5, dTol6, dTol7, dTol8, dTol9, dTol10;
    unsigned uOption12;
  };

  // Kernel jobs registered by the host application.
  using KmReadCB = unsigned (*)(int& count, int*& tags);
  using KmWriteCB = unsigned (*)(int count, const int* tags, unsigned writeNominalGeom);
  using KmSplitCB = unsigned (*)(int count, int* tags, MvVec<int>& kmPartList);
  using KmReleaseCB = unsigned (*)(int count, const int* tags);
  using KmVersionCB = unsigned (*)(int& major, int& minor);
  using KmTessCB = unsigned (*)(int body, const KmBrepTessParams& kmTessPara,
                                MvAutoPtrVec<MvTriStripSet>& pCurrShapeList, MvIVec<int>& currMapKmMv,
                                MvAVec<MvVec4<float>>& currColorArray);
  using KmEdgeTessCB = unsigned (*)(int body, KmBrepTessParams& kmTessPara,
                                    MvAutoPtrVec<MvPolylineSet>& vpBodyPLS);
  using KmBBoxCB = unsigned (*)(int body, MvVec3<float>& minPt, MvVec3<float>& maxPt);
  using KmBodyColorCB = unsigned (*)(int body);
  using KmMemoryRelCB = unsigned (*)(void* p);
  using KmCopyCB = unsigned (*)(int tag, int& copy);
  using KmGoCB = int (*)(int, int, const int*, int, const double*, int, const int*);

  // Registration: stores the function (null clears it) and returns 1. The
  // registrations are process-wide and take no lock.
  static unsigned setKmReadCallback(KmReadCB f);
  static unsigned setKmWriteCallback(KmWriteCB f);
  static unsigned setKmSplitCallback(KmSplitCB f);
  static unsigned setKmReleaseCallback(KmReleaseCB f);
  static unsigned setKmVersionCallback(KmVersionCB f);
  static unsigned setKmTessCallback(KmTessCB f);
  static unsigned setKmEdgeTessCallback(KmEdgeTessCB f);
  static unsigned setKmBBoxCallback(KmBBoxCB f);
  static unsigned setKmBodyColorCallback(KmBodyColorCB f);
  static unsigned setKmMemoryRelCallback(KmMemoryRelCB f);
  static unsigned setKmCopyCallback(KmCopyCB f);
  static unsigned setKmGoCallback(KmGoCB f);

  // The flag handed to the write callback, stored unchanged; returns 1.
  static unsigned setWriteNominalGeom(unsigned b);
  static unsigned writeNominalGeom();

  // The kernel lock (recursive). Both report and return 0 when there is no
  // lock (library not initialised) or it cannot be taken / is not held.
  static unsigned staticLock(unsigned msecTimeOut);
  static unsigned staticUnlock();

  static KmReleaseCB pfKmReleaseCB;
  static KmCopyCB pfKmCopyCB;
  static KmGoCB pfKmGoCB;
  static MvMutex* s_pKorvaniteMutex;

  // --- Part list ------------------------------------------------------------
  MvKMBrep();
  // Copies every part of src through the copy callback (unlocked); the new
  // element owns the copies. Without a copy callback, or when it fails, the
  // new element has no parts and the copies made are released again.
  MvKMBrep(const MvKMBrep& src);
  // Appends copies of src's parts behind this element's parts; unchanged when
  // copying fails.
  MvKMBrep& operator=(const MvKMBrep& src);

  const MvVec<int>& kmPart() const { return _vKMPartList; }
  // One ownership flag per part: 0 when the element owns (and releases) it.
  const MvVec<unsigned int>& kmPartOwnerFlags() const { return _vbHasOwnerFlagList; }
  unsigned isEmpty() const;
  // Adds the tags as parts with the flag bHasOwner (the list may be the
  // element's own part list).
  unsigned appendKmPart(const MvVec<int>& kmPartList, unsigned bHasOwner);
  // Adds kernel copies of the entities as owned parts, under the kernel lock.
  unsigned copyAppendKmPart(const MvVec<int>& kmPartList);
  // Removes part i, releasing it when owned.
  unsigned removePart(int i);
  // Removes all parts; the owned ones are released with one callback call.
  unsigned removeAllParts();

  // Links the holder p (none when null); always 1.
  unsigned setKmBrepOnFly(const MvKMBrepOnFly* p);
  // A counted reference to the linked holder, or an empty one.
  MvAutoPtr<MvBase> kmBrepOnFly() const;

  // --- Type identity ----------------------------------------------------------
  static void constructType();
  static void destructType();
  // A default element, or null when no memory is left.
  static MvBase* createInstance();
  static const MvType& classTypeID();
  static const MvType* classTypePtr();
  const MvGUID& typeGUID() const override;
  unsigned isOfType(const MvType& t) const override;
  unsigned isOfExactType(const MvType& t) const override;
  unsigned isStreamable() const override;
  const MvType& type() const override;

  // --- Host stream record -----------------------------------------------------
  // Writes version 1, the kernel's major and minor version, the segment
  // length and the kernel's transmit of all parts.
  unsigned serialize(MvObjectStream& iostrm) const override;
  // Reads such a record and appends the received parts as owned parts.
  unsigned deserialize(MvObjectStream& iostrm) override;
  // The kernel version of the data last read (after deserialize) or of the
  // running kernel (after serialize); -1 before either.
  static void storedKmVersion(int& major, int& minor);
  // The segment length (bytes of the kernel's transmit, 0 for no parts) of
  // the record last read or written, as the record holds it; -1 before
  // either.
  static int storedSegmentLength();
  // Makes the kernel transmit the parts into the current host stream.
  static unsigned getBinaryStreamFromKm(const MvVec<int>& kmPartList);
  // Makes the kernel receive from the current host stream; the received tags
  // are appended to kmPartList.
  static unsigned getKmFromBinaryStream(MvVec<int>& kmPartList);

  // --- Tessellation -----------------------------------------------------------
  static unsigned initializeTessParam(KmBrepTessParams& kmTessPara, int level);
  static unsigned initializeAbsTessParam(KmBrepTessParams& kmTessPara);
  // Sizes a relative record to the diagonal length once; always 1.
  static unsigned conditionTessParam(KmBrepTessParams& kmTessPara, float fBboxDiagLen);
  // The union of the boxes of all parts; returns the box's validity.
  unsigned getBBox(MvBox3f& box) const;
  // The first nonzero answer of the body-colour callback over the parts.
  unsigned haveColorAttr() const;
  // Face shapes and one map entry per body; with bAddColor each shape gets a
  // material of its colour.
  unsigned getMvFaceShapeList(KmBrepTessParams& kmTessPara, MvAutoPtrVec<MvTriStripSet>& pFaceShapeList,
                              MvAVec<MvIVec<int>>& mapKmMv, unsigned bAddColor) const;
  // Face shapes merged by colour, appended to pShapeList.
  unsigned getMvColorShapeList(KmBrepTessParams& kmTessPara, MvAutoPtrVec<MvTriStripSet>& pShapeList) const;
  // Edge polyline sets of every part, appended to vpPLS.
  unsigned getMvEdgeShape(KmBrepTessParams& kmTessPara, MvAutoPtrVec<MvPolylineSet>& vpPLS) const;
  // One merged shape per distinct colour, in order of first appearance.
  static unsigned mergeShapeWithSameColor(const MvAutoPtrVec<MvTriStripSet>& pFaceShapeList,
                                          const MvAVec<MvVec4<float>>& shapeColorArray,
                                          MvAutoPtrVec<MvTriStripSet>& pShapeList);

 protected:
  ~MvKMBrep() override;

  static const MvType& typeRef();

  unsigned _getFaceShapeColorArray(KmBrepTessParams& kmTessPara, MvAutoPtrVec<MvTriStripSet>& pFaceShapeList,
                                   MvAVec<MvIVec<int>>& mapKmMv,
                                   MvAVec<MvVec4<float>>* const shapeColorArray) const;
  static unsigned _mergeTriStripSet(const MvAutoPtrVec<MvTriStripSet>& pSourceTSSList,
                                    MvAutoPtr<MvTriStripSet>& pTargetTSS);
  static unsigned _addColorToShape(MvAutoPtr<MvTriStripSet>& shape, const MvVec4<float>& color);

  static KmReadCB _pfKmReadCB;
  static KmWriteCB _pfKmWriteCB;
  static KmSplitCB _pfKmSplitCB;
  static KmVersionCB _pfKmVersionCB;
  static KmTessCB _pfKmTessCB;
  static KmEdgeTessCB _pfKmEdgeTessCB;
  static KmBBoxCB _pfKmBBoxCB;
  static KmBodyColorCB _pfKmBodyColorCB;
  static KmMemoryRelCB _pfKmMemoryRelCB;
  static unsigned _bWriteNominalGeom;

  static int _version;
  static int _kmMajorV;
  static int _kmMinorV;
  static int _kmSegmentLength;

 private:
  unsigned _clone(MvBase*& out) const override;
  // The sizing sequence shared by the face and edge operations: body list,
  // bounding box, diagonal and conditioning of kmTessPara; failures are
  // reported under `operation`.
  unsigned _sizeTessParams(const char* operation, KmBrepTessParams& kmTessPara) const;

  static MvType* __type;

  MvVec<int> _vKMPartList;
  MvAutoPtr<MvBase> _pKmBrepOnFly;
  MvVec<unsigned int> _vbHasOwnerFlagList;
};

#endif
