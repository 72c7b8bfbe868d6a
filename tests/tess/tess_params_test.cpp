#include "tess/tess_support.h"

#include <cmath>

namespace {

using namespace tess;

constexpr double kPiOver8 = 0.39269908169872414;

// Every field of the record, in declaration order.
std::vector<double> fields(const Params& p) {
  return {double(p.bConditioned), double(p.uOption1), double(p.uOption2), double(p.uOption3), double(p.uOption4),
          double(p.uOption5), double(p.uOption6), double(p.uOption7), double(p.uOption8), double(p.uOption9),
          double(p.uOption10), double(p.uOption11), p.dTol1, p.dTol2, p.dTol3, p.dTol4, p.dTol5, p.dTol6, p.dTol7,
          p.dTol8, p.dTol9, p.dTol10, double(p.uOption12)};
}

std::vector<float> corners(const MvBox3f& b) {
  return {b.getMin()[0], b.getMin()[1], b.getMin()[2], b.getMax()[0], b.getMax()[1], b.getMax()[2]};
}

TEST(TessParams, RecordsBeforeAndAfterConditioning) {
  using LevelFactor = std::pair<int, double>;
  for (const auto& [level, k] : {LevelFactor{-1, 1.0}, {0, 1.0}, {1, 1.5}, {2, 2.0}, {7, 2.0}}) {
    SCOPED_TRACE(level);
    Params p;
    std::memset(&p, 0xAB, sizeof p);
    EXPECT_EQ(MvKMBrep::initializeTessParam(p, level), 1u);
    EXPECT_EQ(fields(p), (std::vector<double>{0, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0.001, kPiOver8, 0.001, kPiOver8,
                                              -0.01 * k, -0.01 * k, 0.0, 6.0 * k, -0.01 * k, -k, 1}));
    for (float d : {10.0f, 100.0f}) {  // sized once, to D = 10
      EXPECT_EQ(MvKMBrep::conditionTessParam(p, d), 1u);
      EXPECT_EQ(fields(p), (std::vector<double>{1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0.001 * 10.0, kPiOver8,
                                                0.001 * 10.0, kPiOver8, 0.01 * k, 0.01 * k, 0.0, 6.0 * k * 10.0,
                                                0.01 * k, k, 1}));
    }
  }
  Params p;
  EXPECT_EQ(MvKMBrep::initializeAbsTessParam(p), 1u);
  for (float d : {0.5f, -3.0f, 0.0f}) {
    EXPECT_EQ(fields(p), (std::vector<double>{1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0.6, 0.6, 0.25, 0.25, 0.01, 0.01,
                                              0.0, 6.0, 0.01, 1.0, 1}));
    EXPECT_EQ(MvKMBrep::conditionTessParam(p, d), 1u);
  }
  // Negative values become absolute sizes (unscaled even in scaled fields); -0 and NaN stay as they are.
  MvKMBrep::initializeTessParam(p, 0);
  p.dTol1 = -0.5;
  p.dTol2 = -0.25;
  p.dTol7 = -0.0;
  p.dTol8 = std::nan("");
  MvKMBrep::conditionTessParam(p, 4.0f);
  EXPECT_TRUE(p.dTol1 == 0.5 && p.dTol2 == 0.25 && std::signbit(p.dTol7) && std::isnan(p.dTol8));
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
    EXPECT_TRUE(std::memcmp(&p, &before, sizeof p) == 0 && sets.length() == 1);
  }
  EXPECT_EQ(state().calls.find("edge"), std::string::npos);
}

}  // namespace
