#include "tess/tess_support.h"

#include <cmath>

namespace {

using namespace tess;
using Faces = std::vector<const MvTriStripSet*>;
using Edges = std::vector<const MvPolylineSet*>;
using Maps = std::vector<std::vector<int>>;

Maps maps(const MvAVec<MvIVec<int>>& m) {
  Maps out;
  for (int i = 0; i < m.length(); ++i) out.emplace_back(m[i].begin(), m[i].end());
  return out;
}

// Body 10: two faces (red; no colour), 20: none, 30: one (blue); the double's record holds the only other references.
class FaceShapes : public TessTest {
 protected:
  void SetUp() override {
    TessTest::SetUp();
    unitBoxes({10, 20, 30});
    state().faces = {{10, {{strip(1.0f), strip(10.0f, 4)}, {5, 6}, {rgba(1, 0, 0, 1), rgba(0, 1, 0, -1)}}},
                     {20, {}}, {30, {{strip(20.0f)}, {9}, {rgba(0, 0, 1, 1)}}}};
    a = state().faces[10].shapes[0], b = state().faces[10].shapes[1], c = state().faces[30].shapes[0];
  }
  MvTriStripSet *a = nullptr, *b = nullptr, *c = nullptr;
};

TEST_F(FaceShapes, GatheredInBodyOrderWithMaterials) {
  MvAutoPtr<MvKMBrep> e = element({10, 20, 30});
  MvAVec<MvIVec<int>> mapKmMv;
  auto list = listOf<Shapes>({strip(99.0f)});  // emptied first
  mapKmMv[0].append(42);                       // kept: entries are appended
  EXPECT_EQ(e->getMvFaceShapeList(p, list, mapKmMv, 1), 1u);
  EXPECT_EQ(ptrs(list), (Faces{a, b, c}));
  EXPECT_EQ(maps(mapKmMv), (Maps{{42}, {5, 6}, {}, {9}}));
  EXPECT_EQ(state().tol1, std::vector<double>(3, 0.001 * sqrtf(11.0f)));  // sized before the callbacks
  // Box calls three levels deep (operation, gathering, box), tessellation two.
  EXPECT_EQ(state().calls, "box10@3 box20@3 box30@3 tess10@2 tess20@2 tess30@2");
  EXPECT_EQ(a->refCount(), 2);  // the double's record, the list
  EXPECT_TRUE(colored(*a, rgba(1, 0, 0, 1)));
  EXPECT_TRUE(colored(*c, rgba(0, 0, 1, 1)));
  EXPECT_EQ(b->attributeCount(), 0);  // negative alpha: no material

  EXPECT_EQ(e->getMvFaceShapeList(p, list, mapKmMv, 0), 1u);  // without colours: no material
  EXPECT_EQ(mapKmMv.length(), 7);
  EXPECT_EQ(a->attributeCount(), 1);
  EXPECT_EQ(c->attributeCount(), 1);
  EXPECT_TRUE(MvErrorState::reports().empty());
}

TEST_F(FaceShapes, MergedByColorAfterWhatTheListHeld) {
  state().faces[30].colors[0] = rgba(1, 0, 0, 1);  // red like face a
  MvAutoPtr<MvTriStripSet> kept = strip(50.0f);
  auto out = listOf<Shapes>({kept});
  EXPECT_EQ(element({10, 20, 30})->getMvColorShapeList(p, out), 1u);
  ASSERT_EQ(ptrs(out).size(), 3u);
  EXPECT_EQ(out[0].get(), kept.get());
  EXPECT_TRUE(mergedFrom(out[1], {a, c}));
  EXPECT_TRUE(colored(*out[1], rgba(1, 0, 0, 1)));
  EXPECT_TRUE(mergedFrom(out[2], {b}));
  EXPECT_EQ(out[2]->attributeCount(), 0);
  EXPECT_EQ(a->refCount(), 1);  // the double's reference only
  EXPECT_EQ(a->attributeCount(), 0);
}

TEST_F(FaceShapes, FailingBodyStopsWithoutRollback) {
  const fake::Report tessFailed = report(
      "_getFaceShapeColorArray",
      "_pfKmTessCB(kmBodyList[i], kmTessPara, pCurrShapeList, currMapKmMv, currColorArray) && "
      "pCurrShapeList.length() == currColorArray.length() && pCurrShapeList.length() == currMapKmMv.length()");
  const fake::Report colorGather = report(
      "getMvShapeList", "_getFaceShapeColorArray( kmTessPara, pFaceShapeList, mapKmMv, &shapeColorArray)");
  state().faces[30].map.push_back(3);  // one shape, one colour, two map entries
  MvAutoPtr<MvKMBrep> e = element({10, 30, 20});
  MvAVec<MvIVec<int>> mapKmMv;
  Shapes list;
  EXPECT_EQ(e->getMvFaceShapeList(p, list, mapKmMv, 1), 0u);
  EXPECT_EQ(fake::reports(),
            (Reports{tessFailed, report("getMvShapeList", "_getFaceShapeColorArray( kmTessPara, pFaceShapeList, "
                                                          "mapKmMv, pShapeColorArray)")}));
  EXPECT_EQ(state().calls, "box10@3 box30@3 box20@3 tess10@2 tess30@2");
  EXPECT_EQ(ptrs(list), (Faces{a, b}));
  EXPECT_EQ(maps(mapKmMv), (Maps{{5, 6}}));
  EXPECT_EQ(a->attributeCount(), 0);  // no colours applied
  EXPECT_EQ(c->refCount(), 1);        // the callback's references were dropped

  // The colour operation leaves the caller's list alone; a callback answering 0 fails the same way.
  for (int i = 0; i < 2; ++i, state().faces.erase(30)) {
    MvErrorState::clear();
    auto out = listOf<Shapes>({a});
    EXPECT_EQ(e->getMvColorShapeList(p, out), 0u);
    EXPECT_EQ(ptrs(out), (Faces{a}));
    EXPECT_EQ(fake::reports(), (Reports{tessFailed, colorGather}));
  }
  // No callback: refused before the record is sized.
  MvErrorState::clear();
  MvKMBrep::setKmTessCallback(nullptr);
  MvKMBrep::initializeTessParam(p, 0);
  state().calls.clear();
  EXPECT_EQ(e->getMvColorShapeList(p, list), 0u);
  EXPECT_EQ(fake::reports(), (Reports{report("_getFaceShapeColorArray", "_pfKmTessCB != NULL"), colorGather}));
  EXPECT_EQ(p.bConditioned, 0);
  EXPECT_TRUE(state().calls.empty());
  EXPECT_EQ(list.length(), 2);
}

TEST_F(FaceShapes, HaveColorAttr) {
  state().colorAnswers = {{1, 0}, {2, 7}, {3, 1}};
  MvAutoPtr<MvKMBrep> e = element({1, 2, 3});
  EXPECT_EQ(e->haveColorAttr(), 7u);
  EXPECT_EQ(element({})->haveColorAttr(), 0u);
  EXPECT_EQ(state().calls, "color1@1 color2@1");
  MvKMBrep::setKmBodyColorCallback(nullptr);
  EXPECT_EQ(e->haveColorAttr(), 0u);
  EXPECT_EQ(fake::reports(), (Reports{report("haveColorAttr", "_pfKmBodyColorCB != NULL")}));
}

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
