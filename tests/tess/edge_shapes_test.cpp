#include "tess/tess_support.h"

#include <cmath>

namespace {

using tess::polyline;
using tess::report;
using tess::state;

const char* const kEdgeCheck = "_pfKmEdgeTessCB && _pfKmEdgeTessCB(kmBodyList[i], kmTessPara, vpBodyPLS)";

class EdgeShapes : public tess::TessTest {};

std::vector<const MvPolylineSet*> sets(const MvAutoPtrVec<MvPolylineSet>& l) {
  std::vector<const MvPolylineSet*> out;
  for (int i = 0; i < l.length(); ++i) out.push_back(l[i].get());
  return out;
}

TEST_F(EdgeShapes, AppendedBodyByBody) {
  unitBoxes({1, 2, 3});
  MvAutoPtr<MvPolylineSet> p1 = polyline(1), p2 = polyline(2), p3 = polyline(3), old = polyline(0);
  state().edges[1] = {p1, p2};
  state().edges[2] = {};
  state().edges[3] = {p3};
  state().edgeSetsTol1 = 0.125;  // the callback's change is seen by later bodies and the caller
  MvAutoPtr<MvKMBrep> e = element({1, 2, 3});
  MvKMBrep::KmBrepTessParams p;
  MvKMBrep::initializeTessParam(p, 0);
  MvAutoPtrVec<MvPolylineSet> out;
  out.append(old);

  EXPECT_EQ(e->getMvEdgeShape(p, out), 1u);
  EXPECT_EQ(sets(out), (std::vector<const MvPolylineSet*>{old, p1, p2, p3}));
  EXPECT_EQ(state().edgeCalls, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(state().edgeTol1, (std::vector<double>{0.001 * sqrtf(11.0f), 0.125, 0.125}));
  EXPECT_EQ(p.dTol1, 0.125);
  EXPECT_EQ(state().lockDepths, (std::vector<int>{2, 2, 2, 1, 1, 1}));
  EXPECT_EQ(p1->refCount(), 3);  // test, double, list

  // A second call with the conditioned record keeps its sizes.
  state().edgeSetsTol1 = 0.0;
  EXPECT_EQ(e->getMvEdgeShape(p, out), 1u);
  EXPECT_EQ(sets(out), (std::vector<const MvPolylineSet*>{old, p1, p2, p3, p1, p2, p3}));
  EXPECT_EQ(p.dTol1, 0.125);
  EXPECT_TRUE(MvErrorState::reports().empty());
}

TEST_F(EdgeShapes, FailingBodyStopsTheLoop) {
  unitBoxes({1, 2, 3});
  MvAutoPtr<MvPolylineSet> p1 = polyline(1), p3 = polyline(3);
  state().edges[1] = {p1};
  state().edges[3] = {p3};
  MvAutoPtr<MvKMBrep> e = element({1, 2, 3});
  MvKMBrep::KmBrepTessParams p;
  MvKMBrep::initializeTessParam(p, 0);
  MvAutoPtrVec<MvPolylineSet> out;
  EXPECT_EQ(e->getMvEdgeShape(p, out), 0u);
  EXPECT_EQ(sets(out), (std::vector<const MvPolylineSet*>{p1}));
  EXPECT_EQ(state().edgeCalls, (std::vector<int>{1, 2}));
  EXPECT_EQ(fake::reports(), (std::vector<fake::Report>{report("getMvEdgeShape", kEdgeCheck)}));

  // Without a callback the record is conditioned before the failure.
  MvErrorState::clear();
  MvKMBrep::setKmEdgeTessCallback(nullptr);
  MvKMBrep::initializeTessParam(p, 0);
  state().boxCalls.clear();
  EXPECT_EQ(e->getMvEdgeShape(p, out), 0u);
  EXPECT_EQ(p.bConditioned, 1u);
  EXPECT_EQ(state().boxCalls, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(fake::reports(), (std::vector<fake::Report>{report("getMvEdgeShape", kEdgeCheck)}));
  EXPECT_EQ(out.length(), 1);
}

TEST_F(EdgeShapes, ListThatCannotGrow) {
  unitBoxes({1});
  MvAutoPtr<MvPolylineSet> p1 = polyline(1);
  state().edges[1] = {p1};
  MvAutoPtr<MvKMBrep> e = element({1});
  MvKMBrep::KmBrepTessParams p;
  MvKMBrep::initializeAbsTessParam(p);
  // The first allocation of the operation that can fail is the body list
  // copy; sweep until the output list's growth is hit.
  bool sawAppend = false;
  for (long long n = 0; !sawAppend; ++n) {
    ASSERT_LT(n, 64);
    MvErrorState::clear();
    MvAutoPtrVec<MvPolylineSet> out;
    MvHeap::failAt(n);
    const unsigned ok = e->getMvEdgeShape(p, out);
    MvHeap::disarm();
    ASSERT_EQ(MvHeap::injectedFailures(), 1);
    EXPECT_EQ(ok, 0u);
    EXPECT_EQ(out.length(), 0);
    for (const MvErrorReport& r : MvErrorState::reports()) sawAppend |= r.condition == "vpPLS.append(vpBodyPLS)";
    EXPECT_EQ(p1->refCount(), 2);
  }
}

}  // namespace
