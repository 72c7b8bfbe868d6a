#include "tess/tess_support.h"

#include <cmath>

namespace {

using namespace tess;
using Faces = std::vector<const MvTriStripSet*>;
using Maps = std::vector<std::vector<int>>;

Maps maps(const MvAVec<MvIVec<int>>& m) {
  Maps out;
  for (int i = 0; i < m.length(); ++i) out.emplace_back(m[i].begin(), m[i].end());
  return out;
}

class FaceShapes : public TessTest {
 protected:
  // Body 10: two faces (red; no colour), body 20: none, body 30: one (blue).
  void SetUp() override {
    TessTest::SetUp();
    unitBoxes({10, 20, 30});
    a = strip(1.0f), b = strip(10.0f, 4), c = strip(20.0f);
    state().faces = {{10, {{a, b}, {5, 6}, {rgba(1, 0, 0, 1), rgba(0, 1, 0, -1)}}},
                     {20, {}},
                     {30, {{c}, {9}, {rgba(0, 0, 1, 1)}}}};
    MvKMBrep::initializeTessParam(p, 0);
  }
  void TearDown() override {
    a = b = c = nullptr;
    mapKmMv = MvAVec<MvIVec<int>>();
    TessTest::TearDown();
  }
  MvAutoPtr<MvTriStripSet> a, b, c;
  Params p;
  MvAVec<MvIVec<int>> mapKmMv;
};

TEST_F(FaceShapes, GatheredInBodyOrderWithMaterials) {
  MvAutoPtr<MvKMBrep> e = element({10, 20, 30});
  auto list = listOf<Shapes>({strip(99.0f)});  // emptied first
  mapKmMv[0].append(42);                       // kept: entries are appended
  EXPECT_EQ(e->getMvFaceShapeList(p, list, mapKmMv, 1), 1u);
  EXPECT_EQ(ptrs(list), (Faces{a, b, c}));
  EXPECT_EQ(maps(mapKmMv), (Maps{{42}, {5, 6}, {}, {9}}));
  EXPECT_EQ(state().tessCalls, (std::vector<int>{10, 20, 30}));
  EXPECT_EQ(state().tol1, std::vector<double>(3, 0.001 * sqrtf(11.0f)));  // sized before the callbacks
  // Box calls three levels deep (operation, gathering, box), tessellation two.
  EXPECT_EQ(state().lockDepths, (std::vector<int>{3, 3, 3, 2, 2, 2}));
  EXPECT_EQ(a->refCount(), 3);  // the test, the double's record, the list
  EXPECT_TRUE(coloured(*a, rgba(1, 0, 0, 1)) && coloured(*c, rgba(0, 0, 1, 1)));
  EXPECT_EQ(b->attributeCount(), 0);  // negative alpha: no material

  EXPECT_EQ(e->getMvFaceShapeList(p, list, mapKmMv, 0), 1u);  // without colours: no material
  EXPECT_EQ(mapKmMv.length(), 7);
  EXPECT_EQ(a->attributeCount() + c->attributeCount(), 2);
  EXPECT_TRUE(MvErrorState::reports().empty());
}

TEST_F(FaceShapes, MergedByColourAfterWhatTheListHeld) {
  state().faces[30].colors[0] = rgba(1, 0, 0, 1);  // red like face a
  MvAutoPtr<MvTriStripSet> kept = strip(50.0f);
  auto out = listOf<Shapes>({kept});
  EXPECT_EQ(element({10, 20, 30})->getMvColorShapeList(p, out), 1u);
  ASSERT_EQ(ptrs(out).size(), 3u);
  EXPECT_EQ(out[0].get(), kept.get());
  EXPECT_TRUE(mergedFrom(out[1], {a, c}) && coloured(*out[1], rgba(1, 0, 0, 1)));
  EXPECT_TRUE(mergedFrom(out[2], {b}) && out[2]->attributeCount() == 0);
  EXPECT_TRUE(a->refCount() == 2 && a->attributeCount() == 0);  // the test's and the double's references
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
  Shapes list;
  EXPECT_EQ(e->getMvFaceShapeList(p, list, mapKmMv, 1), 0u);
  EXPECT_EQ(fake::reports(),
            (Reports{tessFailed, report("getMvShapeList", "_getFaceShapeColorArray( kmTessPara, pFaceShapeList, "
                                                          "mapKmMv, pShapeColorArray)")}));
  EXPECT_EQ(state().tessCalls, (std::vector<int>{10, 30}));
  EXPECT_EQ(ptrs(list), (Faces{a, b}));
  EXPECT_EQ(maps(mapKmMv), (Maps{{5, 6}}));
  EXPECT_EQ(a->attributeCount(), 0);  // no colours applied
  EXPECT_EQ(c->refCount(), 2);        // the callback's references were dropped

  // The colour operation leaves the caller's list alone; a callback
  // answering 0 fails the same way.
  for (int i = 0; i < 2; ++i, state().faces.erase(30)) {
    MvErrorState::clear();
    auto out = listOf<Shapes>({c});
    EXPECT_EQ(e->getMvColorShapeList(p, out), 0u);
    EXPECT_EQ(ptrs(out), (Faces{c}));
    EXPECT_EQ(fake::reports(), (Reports{tessFailed, colorGather}));
  }
  // No callback: refused before the record is sized.
  MvErrorState::clear();
  MvKMBrep::setKmTessCallback(nullptr);
  MvKMBrep::initializeTessParam(p, 0);
  state().boxCalls.clear();
  EXPECT_EQ(e->getMvColorShapeList(p, list), 0u);
  EXPECT_EQ(fake::reports(), (Reports{report("_getFaceShapeColorArray", "_pfKmTessCB != NULL"), colorGather}));
  EXPECT_TRUE(p.bConditioned == 0 && state().boxCalls.empty() && list.length() == 2);
}

TEST_F(FaceShapes, HaveColorAttr) {
  state().colorAnswers = {{1, 0}, {2, 7}, {3, 1}};
  MvAutoPtr<MvKMBrep> e = element({1, 2, 3});
  EXPECT_EQ(e->haveColorAttr(), 7u);
  EXPECT_EQ(element({})->haveColorAttr(), 0u);
  EXPECT_EQ(state().colorCalls, (std::vector<int>{1, 2}));
  EXPECT_EQ(state().lockDepths, (std::vector<int>{1, 1}));
  MvKMBrep::setKmBodyColorCallback(nullptr);
  EXPECT_EQ(e->haveColorAttr(), 0u);
  EXPECT_EQ(fake::reports(), (Reports{report("haveColorAttr", "_pfKmBodyColorCB != NULL")}));
}

}  // namespace
