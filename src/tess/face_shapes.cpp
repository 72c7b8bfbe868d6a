// Face shapes of an element: the face tessellation callback is asked body by
// body under the kernel lock, and its shapes, maps and colours are gathered.
#include "base/report.h"
#include "element/MvKMBrep.h"
#include "element/kernel_lock.h"
#include "tess/body_list.h"

namespace {

const char* const kGatherOp = "_getFaceShapeColorArray";
// Both public shape operations report under this name.
const char* const kShapeOp = "getMvShapeList";

// Moves the body's map into a new last entry of mapKmMv. The entry takes
// over the map's storage instead of copying it, so it cannot come out
// incomplete; the map is left empty.
bool appendMapEntry(MvAVec<MvIVec<int>>& mapKmMv, MvIVec<int>& currMapKmMv) {
  if (!mapKmMv.append(MvIVec<int>())) return false;
  mapKmMv.ptr()[mapKmMv.length() - 1].swap(currMapKmMv);
  return true;
}

}  // namespace

unsigned MvKMBrep::haveColorAttr() const {
  const KmBodyColorCB bodyColorCB = _pfKmBodyColorCB;
  if (!bodyColorCB) return mvkm::fail("haveColorAttr", "_pfKmBodyColorCB != NULL");
  mvkm::KernelLockGuard lock;
  unsigned result = 0;
  for (int i = 0; result == 0 && i < _vKMPartList.length(); ++i) result = bodyColorCB(_vKMPartList[i]);
  return result;
}

unsigned MvKMBrep::_getFaceShapeColorArray(KmBrepTessParams& kmTessPara,
                                           MvAutoPtrVec<MvTriStripSet>& pFaceShapeList,
                                           MvAVec<MvIVec<int>>& mapKmMv,
                                           MvAVec<MvVec4<float>>* const shapeColorArray) const {
  const KmTessCB tessCB = _pfKmTessCB;
  if (!tessCB) return mvkm::fail(kGatherOp, "_pfKmTessCB != NULL");
  mvkm::KernelLockGuard lock;

  MvVec<int> kmBodyList;
  if (!mvkm::copyBodyList(_vKMPartList, kmBodyList)) return mvkm::passOn();
  if (!_sizeTessParams(kGatherOp, kmTessPara)) return 0;

  pFaceShapeList.setLength(0);
  if (shapeColorArray) shapeColorArray->setLength(0);

  MvAutoPtrVec<MvTriStripSet> pCurrShapeList;
  MvIVec<int> currMapKmMv;
  MvAVec<MvVec4<float>> currColorArray;
  for (int i = 0; i < kmBodyList.length(); ++i) {
    pCurrShapeList.setLength(0);
    currMapKmMv.setLength(0);
    currColorArray.setLength(0);
    if (!(tessCB(kmBodyList[i], kmTessPara, pCurrShapeList, currMapKmMv, currColorArray) &&
          pCurrShapeList.length() == currColorArray.length() &&
          pCurrShapeList.length() == currMapKmMv.length())) {
      return mvkm::fail(kGatherOp,
                        "_pfKmTessCB(kmBodyList[i], kmTessPara, pCurrShapeList, currMapKmMv, currColorArray) && "
                        "pCurrShapeList.length() == currColorArray.length() && "
                        "pCurrShapeList.length() == currMapKmMv.length()");
    }
    // Lost shapes or map entries would go unnoticed (the colours are
    // checked after the loop, but are not always gathered): fail at once.
    if (!pFaceShapeList.append(pCurrShapeList) || !appendMapEntry(mapKmMv, currMapKmMv)) return mvkm::passOn();
    if (shapeColorArray) shapeColorArray->append(currColorArray);
  }
  if (shapeColorArray && shapeColorArray->length() != pFaceShapeList.length())
    return mvkm::fail(kGatherOp, "(*shapeColorArray).length() == pFaceShapeList.length()");
  return 1;
}

unsigned MvKMBrep::getMvFaceShapeList(KmBrepTessParams& kmTessPara, MvAutoPtrVec<MvTriStripSet>& pFaceShapeList,
                                      MvAVec<MvIVec<int>>& mapKmMv, unsigned bAddColor) const {
  mvkm::KernelLockGuard lock;
  MvAVec<MvVec4<float>> shapeColorArray;
  MvAVec<MvVec4<float>>* const pShapeColorArray = bAddColor ? &shapeColorArray : nullptr;
  if (!_getFaceShapeColorArray(kmTessPara, pFaceShapeList, mapKmMv, pShapeColorArray))
    return mvkm::fail(kShapeOp, "_getFaceShapeColorArray( kmTessPara, pFaceShapeList, mapKmMv, pShapeColorArray)");
  for (int i = 0; i < shapeColorArray.length(); ++i) {
    _addColorToShape(pFaceShapeList.ptr()[i], shapeColorArray.ptr()[i]);
  }
  return 1;
}

unsigned MvKMBrep::getMvColorShapeList(KmBrepTessParams& kmTessPara, MvAutoPtrVec<MvTriStripSet>& pShapeList) const {
  mvkm::KernelLockGuard lock;
  MvAVec<MvVec4<float>> shapeColorArray;
  MvAutoPtrVec<MvTriStripSet> pFaceShapeList;
  MvAVec<MvIVec<int>> mapKmMv;
  if (!_getFaceShapeColorArray(kmTessPara, pFaceShapeList, mapKmMv, &shapeColorArray))
    return mvkm::fail(kShapeOp, "_getFaceShapeColorArray( kmTessPara, pFaceShapeList, mapKmMv, &shapeColorArray)");
  if (!mergeShapeWithSameColor(pFaceShapeList, shapeColorArray, pShapeList))
    return mvkm::fail(kShapeOp, "mergeShapeWithSameColor(pFaceShapeList, shapeColorArray, pShapeList)");
  return 1;
}
