#include "tess/tess_support.h"

#include <cmath>

namespace {

using namespace tess;

std::vector<float> corners(const MvBox3f& b) {
  return {b.getMin()[0], b.getMin()[1], b.getMin()[2], b.getMax()[0], b.getMax()[1], b.getMax()[2]};
}

// The level scales the relative sizes; conditioning scales the positive sizes of the scaled fields to the diagonal,
// once, and drops every sign; an absolute record is left as it is.
TEST(TessParams, ConditioningSizesARelativeRecordOnce) {
  using LevelFactor = std::pair<int, double>;
  for (const auto& [level, k] : {LevelFactor{-1, 1.0}, {0, 1.0}, {1, 1.5}, {2, 2.0}, {7, 2.0}}) {
    Params p;
    MvKMBrep::initializeTessParam(p, level);
    EXPECT_EQ(p.dTol8, 6.0 * k) << level;
  }
  Params p;
  MvKMBrep::initializeTessParam(p, 0);
  const Params before = p;
  EXPECT_EQ(p.bConditioned, 0u);
  MvKMBrep::conditionTessParam(p, 10.0f);
  MvKMBrep::conditionTessParam(p, 100.0f);
  EXPECT_EQ(p.bConditioned, 1u);
  EXPECT_EQ(p.dTol1, before.dTol1 * 10.0);  // a scaled field
  EXPECT_EQ(p.dTol2, before.dTol2);         // a field that is never scaled
  EXPECT_EQ(p.dTol5, -before.dTol5);        // an absolute size
  EXPECT_EQ(p.dTol10, -before.dTol10);      // negative in a scaled field: absolute too
  MvKMBrep::initializeAbsTessParam(p);
  const Params absolute = p;
  MvKMBrep::conditionTessParam(p, 0.5f);
  EXPECT_EQ(std::memcmp(&p, &absolute, sizeof p), 0);
  // Negative values become absolute sizes (unscaled even in scaled fields); -0 and NaN stay as they are.
  MvKMBrep::initializeTessParam(p, 0);
  p.dTol1 = -0.5;
  p.dTol2 = -0.25;
  p.dTol7 = -0.0;
  p.dTol8 = std::nan("");
  MvKMBrep::conditionTessParam(p, 4.0f);
  EXPECT_EQ(p.dTol1, 0.5);
  EXPECT_EQ(p.dTol2, 0.25);
  EXPECT_TRUE(std::signbit(p.dTol7));
  EXPECT_TRUE(std::isnan(p.dTol8));
}

class BBox : public TessTest {};

TEST_F(BBox, UnionOfThePartBoxes) {
  state().boxes[4] = Box{xyz(0, 0, 0), xyz(1, 1, 1)};
  state().boxes[5] = Box{xyz(5, -2, 3), xyz(-1, 4, 2)};       // corners given the wrong way round
  state().boxes[6] = Box{xyz(9, 9, 9), xyz(9, 9, 9), false};  // repeats part 5's corners
  state().boxes[7] = Box{xyz(3, 3, 3), xyz(4, 4, 4), false};  // first part: the origin
  MvBox3f box;
  EXPECT_EQ(element({4, 5, 6})->getBBox(box), 1u);
  EXPECT_EQ(corners(box), (std::vector<float>{-1, -2, 0, 5, 4, 3}));
  EXPECT_EQ(element({7})->getBBox(box), 1u);
  EXPECT_EQ(corners(box), (std::vector<float>(6, 0.0f)));
  EXPECT_EQ(element({})->getBBox(box), 0u);  // nothing asked, nothing reported
  EXPECT_EQ(state().calls, "box4@1 box5@1 box6@1 box7@1");
  EXPECT_TRUE(MvErrorState::reports().empty());

  // The third of five parts fails: the box is left empty.
  unitBoxes({1, 2, 4, 5});
  MvAutoPtr<MvKMBrep> e = element({1, 2, 3, 4, 5});
  EXPECT_EQ(e->getBBox(box), 0u);
  EXPECT_EQ(state().calls, "box4@1 box5@1 box6@1 box7@1 box1@1 box2@1 box3@1");
  EXPECT_FALSE(box.isValid());
  // No callback: reported before the lock is taken, box untouched.
  MvKMBrep::setKmBBoxCallback(nullptr);
  MvBox3f kept(xyz(0, 0, 0), xyz(2, 2, 2));
  EXPECT_EQ(e->getBBox(kept), 0u);
  EXPECT_EQ(corners(kept), (std::vector<float>{0, 0, 0, 2, 2, 2}));
  EXPECT_EQ(fake::reports(), (Reports{report("getBBox", "_pfKmBBoxCB(kmBodyList[i], minPt, maxPt)"),
                                      report("getBBox", "_pfKmBBoxCB != NULL")}));
}

TEST_F(BBox, SizingFailuresLeaveRecordAndListAlone) {
  state().boxes[9] = Box{xyz(2, 2, 2), xyz(2, 2, 2)};  // a point: zero diagonal
  state().boxes[10] = Box{xyz(-3e38f, 0, 0), xyz(3e38f, 0, 0)};  // past the float range: infinite diagonal
  const Reports noParts{report("getMvEdgeShape", "kmBodyList.length() > 0")},
      noBox{report("getBBox", "_pfKmBBoxCB(kmBodyList[i], minPt, maxPt)"),
            report("getMvEdgeShape", "getBBox(kmBrepBBox)")},
      noDiagonal{report("getMvEdgeShape", "fBboxDiagLen > 0.0f")};
  for (const auto& [e, reports] : std::vector<std::pair<MvAutoPtr<MvKMBrep>, Reports>>{
           {element({}), noParts}, {element({8}), noBox}, {element({9}), noDiagonal}, {element({10}), noDiagonal}}) {
    MvKMBrep::initializeTessParam(p, 1);
    const Params before = p;
    auto sets = listOf<Sets>({MvAutoPtr<MvPolylineSet>(new MvPolylineSet())});
    MvErrorState::clear();
    EXPECT_EQ(e->getMvEdgeShape(p, sets), 0u);
    EXPECT_EQ(fake::reports(), reports);
    EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0);
    EXPECT_EQ(sets.length(), 1);
  }
  EXPECT_EQ(state().calls.find("edge"), std::string::npos);
}

}  // namespace
