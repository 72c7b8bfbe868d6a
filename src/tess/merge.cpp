// Merging face shapes of one colour into one shape with a material of that
// colour.
#include "base/report.h"
#include "element/MvKMBrep.h"
#include "tess/color_groups.h"
#include "tess/triangle_gather.h"

#include <optional>

namespace {

const char* const kMergeOp = "mergeShapeWithSameColor";
// The merge reports under the name of the public operation that uses it.
const char* const kShapeOp = "getMvShapeList";

}  // namespace

unsigned MvKMBrep::mergeShapeWithSameColor(const MvAutoPtrVec<MvTriStripSet>& pFaceShapeList,
                                           const MvAVec<MvVec4<float>>& shapeColorArray,
                                           MvAutoPtrVec<MvTriStripSet>& pShapeList) {
  // Taken now: pShapeList may be the face list itself, and the merged shapes
  // appended to it must not count as faces.
  const int faceCount = pFaceShapeList.length();

  MvAVec<MvVec4<float>> colorArray;
  MvAVec<MvIVec<int>> faceColorMap;
  if (!mvkm::groupByColor(shapeColorArray, colorArray, faceColorMap)) return mvkm::passOn();
  if (colorArray.length() != faceColorMap.length())
    return mvkm::fail(kMergeOp, "colorArray.length() == faceColorMap.length()");

  MvAutoPtrVec<MvTriStripSet> groupSources;
  for (int g = 0; g < colorArray.length(); ++g) {
    const MvIVec<int>& faces = faceColorMap.ptr()[g];
    if (!(faces.length() > 0)) return mvkm::fail(kMergeOp, "faceColorMap[i].length() > 0");
    // A short source list would merge a group without some of its faces.
    if (!groupSources.setLength(faces.length())) return mvkm::passOn();
    for (int k = 0; k < faces.length(); ++k) {
      const int tessIdx = faces[k];
      if (!(tessIdx < faceCount)) return mvkm::fail(kMergeOp, "tessIdx < pFaceShapeList.length()");
      groupSources.ptr()[k] = pFaceShapeList[tessIdx];
    }
    // Any failure of the merge fails the group: a partly merged shape (a
    // source without triangle iterator) would lose triangles while the
    // operation reported success.
    MvAutoPtr<MvTriStripSet> pTargetTSS;
    if (!_mergeTriStripSet(groupSources, pTargetTSS)) return mvkm::fail(kMergeOp, "pTargetTSS != NULL");
    _addColorToShape(pTargetTSS, colorArray.ptr()[g]);
    // A merged shape that cannot be appended is lost: fail.
    if (!pShapeList.append(pTargetTSS)) return mvkm::passOn();
  }
  return 1;
}

unsigned MvKMBrep::_mergeTriStripSet(const MvAutoPtrVec<MvTriStripSet>& pSourceTSSList,
                                     MvAutoPtr<MvTriStripSet>& pTargetTSS) {
  if (pTargetTSS) return mvkm::fail(kShapeOp, "pTargetTSS == NULL");
  if (!(pSourceTSSList.length() > 0)) return mvkm::fail(kShapeOp, "pSourceTSSList.length() > 0");
  for (int i = 0; i < pSourceTSSList.length(); ++i) {
    if (!pSourceTSSList[i]) return mvkm::fail(kShapeOp, "pSourceTSSList[i] != NULL");
  }

  // All sources must bind their data as the first one does.
  MvVertexShape::Binding normalVecBinding = MvVertexShape::MV_BIND_NONE;
  MvVertexShape::Binding texCoordBinding = MvVertexShape::MV_BIND_NONE;
  MvVertexShape::Binding colorBinding = MvVertexShape::MV_BIND_NONE;
  if (!pSourceTSSList[0]->getBindings(normalVecBinding, texCoordBinding, colorBinding)) return mvkm::passOn();
  for (int i = 1; i < pSourceTSSList.length(); ++i) {
    MvVertexShape::Binding normals = MvVertexShape::MV_BIND_NONE;
    MvVertexShape::Binding texCoords = MvVertexShape::MV_BIND_NONE;
    MvVertexShape::Binding colors = MvVertexShape::MV_BIND_NONE;
    if (!pSourceTSSList[i]->getBindings(normals, texCoords, colors) || normals != normalVecBinding ||
        texCoords != texCoordBinding || colors != colorBinding)
      return mvkm::passOn();
  }

  pTargetTSS = new MvTriStripSet(normalVecBinding, texCoordBinding, colorBinding);
  if (!pTargetTSS)
    return mvkm::fail(kShapeOp,
                      "Allocation failed: pTargetTSS = new MvTriStripSet (normalVecBinding, texCoordBinding, "
                      "colorBinding)",
                      MvErrorState::kAllocation);

  // From here on a failure leaves the target with the triangles merged so
  // far.
  // Every source triangle becomes one three-vertex primitive: room for all
  // of them is made at once, so the target never grows triangle by triangle.
  long long triangles = 0;
  for (int i = 0; i < pSourceTSSList.length(); ++i) triangles += pSourceTSSList[i]->triangleCount();
  if (!pTargetTSS->reserve(3 * triangles, triangles)) return mvkm::passOn();
  // Made when the first source needs it.
  std::optional<mvkm::TriangleGather> gather;
  for (int i = 0; i < pSourceTSSList.length(); ++i) {
    const MvAutoPtr<MvTriIter> pTriIter = pSourceTSSList[i]->getTriIter();
    if (!pTriIter) return mvkm::fail(kShapeOp, "pTriIter");
    // The host copies its own shapes' triangles in one call; any other
    // iterator is walked triangle by triangle.
    if (pTargetTSS->appendTrianglesDirect(*pTriIter)) continue;
    if (!gather) {
      gather.emplace();
      if (!gather->ready()) return mvkm::passOn();
    }
    if (!gather->appendTriangles(*pTriIter, *pTargetTSS)) return mvkm::passOn();
  }
  return 1;
}

unsigned MvKMBrep::_addColorToShape(MvAutoPtr<MvTriStripSet>& shape, const MvVec4<float>& color) {
  // A negative alpha stands for "no colour"; a NaN alpha is not negative.
  if (color[3] < 0.0f) return 0;
  if (!shape) return mvkm::fail("_addColorToShape", "shape != NULL");
  MvAutoPtr<MvMaterial> newMat = new MvMaterial;
  if (!newMat)
    return mvkm::fail("_addColorToShape", "Allocation failed: newMat = new MvMaterial", MvErrorState::kAllocation);
  newMat->setDiffuseColor(color);
  newMat->setSpecularColor(MvVec4<float>{{0.75f, 0.75f, 0.75f, 1.0f}});
  newMat->setShininess(15.0f);
  // The shape takes its own reference; ours goes with newMat.
  if (!shape->appendAttribute(newMat, nullptr)) return mvkm::passOn();
  return 1;
}
