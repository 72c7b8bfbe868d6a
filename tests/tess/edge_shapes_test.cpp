#include "tess/tess_support.h"

#include <cmath>

namespace {

using namespace tess;
using Edges = std::vector<const MvPolylineSet*>;

class EdgeShapes : public TessTest {};

TEST_F(EdgeShapes, AppendedBodyByBodyAfterWhatTheListHeldUntilABodyFails) {
  MvAutoPtr<MvPolylineSet> p1 = new MvPolylineSet(), p2 = new MvPolylineSet(), old = new MvPolylineSet();
  unitBoxes({1, 2, 3});
  state().edges = {{1, {p1, p2}}, {2, {}}, {3, {p2}}};
  MvAutoPtr<MvKMBrep> e = element({1, 2, 3});
  auto out = listOf<Sets>({old});
  EXPECT_EQ(e->getMvEdgeShape(p, out), 1u);
  EXPECT_EQ(ptrs(out), (Edges{old, p1, p2, p2}));
  const double d = 0.001 * sqrtf(11.0f);  // the diagonal in single precision
  EXPECT_EQ(state().tol1, (std::vector<double>{d, 2 * d, 4 * d}));  // the double's changes carry on
  EXPECT_EQ(state().calls, "box1@2 box2@2 box3@2 edge1@1 edge2@1 edge3@1");
  EXPECT_EQ(p1->refCount(), 3);  // test, double, list
  // A second call with the conditioned record does not size it again.
  EXPECT_EQ(e->getMvEdgeShape(p, out), 1u);
  EXPECT_EQ(ptrs(out), (Edges{old, p1, p2, p2, p1, p2, p2}));
  EXPECT_EQ(p.dTol1, 64 * d);
  EXPECT_TRUE(MvErrorState::reports().empty());

  // A failing body stops the loop; what came before stays.
  state().edges.erase(2);
  state().calls.clear();
  out.setLength(0);
  EXPECT_EQ(e->getMvEdgeShape(p, out), 0u);
  EXPECT_EQ(state().calls, "box1@2 box2@2 box3@2 edge1@1 edge2@1");
  EXPECT_EQ(ptrs(out), (Edges{p1, p2}));
  // Without a callback the record is conditioned before the failure.
  MvKMBrep::setKmEdgeTessCallback(nullptr);
  MvKMBrep::initializeTessParam(p, 0);
  state().calls.clear();
  EXPECT_EQ(e->getMvEdgeShape(p, out), 0u);
  EXPECT_EQ(p.bConditioned, 1);
  EXPECT_TRUE(state().calls == "box1@2 box2@2 box3@2");
  const fake::Report failed =
      report("getMvEdgeShape", "_pfKmEdgeTessCB && _pfKmEdgeTessCB(kmBodyList[i], kmTessPara, vpBodyPLS)");
  EXPECT_EQ(fake::reports(), (Reports{failed, failed}));
  EXPECT_EQ(ptrs(out), (Edges{p1, p2}));
}

}  // namespace
