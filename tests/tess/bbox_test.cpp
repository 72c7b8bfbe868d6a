#include "tess/tess_support.h"

#include <cmath>
#include <limits>

namespace {

using tess::report;
using tess::state;
using tess::xyz;

class BBox : public tess::TessTest {};

bool sameBox(const MvBox3f& b, MvVec3<float> lo, MvVec3<float> hi) {
  for (int k = 0; k < 3; ++k) {
    if (b.getMin()[k] != lo[k] || b.getMax()[k] != hi[k]) return false;
  }
  return true;
}

TEST_F(BBox, UnionOfThePartBoxes) {
  MvAutoPtr<MvKMBrep> e = element({4, 5, 6});
  state().boxes[4] = tess::Box{xyz(0, 0, 0), xyz(1, 1, 1)};
  state().boxes[5] = tess::Box{xyz(5, -2, 3), xyz(-1, 4, 2)};  // corners given the wrong way round
  state().boxes[6] = tess::Box{xyz(9, 9, 9), xyz(9, 9, 9), false};  // repeats part 5's corners
  MvBox3f box;
  EXPECT_EQ(e->getBBox(box), 1u);
  EXPECT_TRUE(sameBox(box, xyz(-1, -2, 0), xyz(5, 4, 3)));
  EXPECT_EQ(state().boxCalls, (std::vector<int>{4, 5, 6}));
  EXPECT_EQ(state().lockDepths, (std::vector<int>{1, 1, 1}));
  EXPECT_TRUE(MvErrorState::reports().empty());

  // The first part's unwritten corners are the origin.
  MvAutoPtr<MvKMBrep> lone = element({7});
  state().boxes[7] = tess::Box{xyz(3, 3, 3), xyz(4, 4, 4), false};
  EXPECT_EQ(lone->getBBox(box), 1u);
  EXPECT_TRUE(sameBox(box, xyz(0, 0, 0), xyz(0, 0, 0)));
}

TEST_F(BBox, FailuresLeaveTheBoxEmpty) {
  MvAutoPtr<MvKMBrep> e = element({1, 2, 3, 4, 5});
  unitBoxes({1, 2, 4, 5});
  MvBox3f box(xyz(0, 0, 0), xyz(1, 1, 1));
  EXPECT_EQ(e->getBBox(box), 0u);
  EXPECT_EQ(state().boxCalls, (std::vector<int>{1, 2, 3}));
  EXPECT_FALSE(box.isValid());
  EXPECT_EQ(box.getMin()[0], std::numeric_limits<float>::max());
  EXPECT_EQ(fake::reports(),
            (std::vector<fake::Report>{report("getBBox", "_pfKmBBoxCB(kmBodyList[i], minPt, maxPt)")}));

  // No parts: nothing asked, nothing reported, an empty box.
  MvErrorState::clear();
  state().boxCalls.clear();
  MvAutoPtr<MvKMBrep> none = element({});
  EXPECT_EQ(none->getBBox(box), 0u);
  EXPECT_TRUE(state().boxCalls.empty());
  EXPECT_TRUE(MvErrorState::reports().empty());

  // No callback: reported before the lock is taken, box untouched.
  MvKMBrep::setKmBBoxCallback(nullptr);
  MvBox3f kept(xyz(0, 0, 0), xyz(2, 2, 2));
  EXPECT_EQ(e->getBBox(kept), 0u);
  EXPECT_TRUE(sameBox(kept, xyz(0, 0, 0), xyz(2, 2, 2)));
  EXPECT_EQ(fake::reports(), (std::vector<fake::Report>{report("getBBox", "_pfKmBBoxCB != NULL")}));
}

TEST_F(BBox, SizingFailuresUnderTheCallersName) {
  MvKMBrep::KmBrepTessParams p;
  MvKMBrep::initializeTessParam(p, 1);
  const MvKMBrep::KmBrepTessParams before = p;
  MvAutoPtrVec<MvPolylineSet> sets;

  MvAutoPtr<MvKMBrep> none = element({});
  EXPECT_EQ(none->getMvEdgeShape(p, sets), 0u);
  EXPECT_EQ(fake::reports(), (std::vector<fake::Report>{report("getMvEdgeShape", "kmBodyList.length() > 0")}));

  MvErrorState::clear();
  MvAutoPtr<MvKMBrep> noBox = element({8});
  EXPECT_EQ(noBox->getMvEdgeShape(p, sets), 0u);
  EXPECT_EQ(fake::reports(),
            (std::vector<fake::Report>{report("getBBox", "_pfKmBBoxCB(kmBodyList[i], minPt, maxPt)"),
                                       report("getMvEdgeShape", "getBBox(kmBrepBBox)")}));

  // A point box has a zero diagonal.
  MvErrorState::clear();
  state().boxes[8] = tess::Box{xyz(2, 2, 2), xyz(2, 2, 2)};
  EXPECT_EQ(noBox->getMvEdgeShape(p, sets), 0u);
  MvAutoPtrVec<MvTriStripSet> shapes;
  MvAVec<MvIVec<int>> maps;
  EXPECT_EQ(noBox->getMvFaceShapeList(p, shapes, maps, 0), 0u);
  EXPECT_EQ(fake::reports(),
            (std::vector<fake::Report>{
                report("getMvEdgeShape", "fBboxDiagLen > 0.0f"),
                report("_getFaceShapeColorArray", "fBboxDiagLen > 0.0f"),
                report("getMvShapeList",
                       "_getFaceShapeColorArray( kmTessPara, pFaceShapeList, mapKmMv, pShapeColorArray)")}));
  EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0);
  EXPECT_TRUE(state().edgeCalls.empty());
  EXPECT_TRUE(state().tessCalls.empty());
}

TEST_F(BBox, SizedToTheDiagonalInSinglePrecision) {
  MvAutoPtr<MvKMBrep> e = element({1, 2});
  state().boxes[1] = tess::Box{xyz(0, 0, 0), xyz(1, 2, 0)};
  state().boxes[2] = tess::Box{xyz(-1, 0, 0), xyz(0, 0, 2)};
  state().edges[1];
  state().edges[2];
  MvKMBrep::KmBrepTessParams p;
  MvKMBrep::initializeTessParam(p, 0);
  MvAutoPtrVec<MvPolylineSet> sets;
  EXPECT_EQ(e->getMvEdgeShape(p, sets), 1u);
  const double d = sqrtf(2.0f * 2.0f + 2.0f * 2.0f + 2.0f * 2.0f);
  EXPECT_EQ(p.dTol1, 0.001 * d);
  EXPECT_EQ(p.dTol8, 6.0 * d);
  EXPECT_EQ(state().edgeTol1, (std::vector<double>{0.001 * d, 0.001 * d}));
}

}  // namespace
