#include "tess/tess_support.h"

namespace {

using tess::report;
using tess::rgba;
using tess::state;
using tess::strip;

const char* const kFaceGather =
    "_getFaceShapeColorArray( kmTessPara, pFaceShapeList, mapKmMv, pShapeColorArray)";
const char* const kColorGather = "_getFaceShapeColorArray( kmTessPara, pFaceShapeList, mapKmMv, &shapeColorArray)";
const char* const kTessCheck =
    "_pfKmTessCB(kmBodyList[i], kmTessPara, pCurrShapeList, currMapKmMv, currColorArray) && "
    "pCurrShapeList.length() == currColorArray.length() && pCurrShapeList.length() == currMapKmMv.length()";

class FaceShapes : public tess::TessTest {
 protected:
  // Body 10: two faces (red; no colour), body 20: none, body 30: one (blue).
  void SetUp() override {
    tess::TessTest::SetUp();
    unitBoxes({10, 20, 30});
    a = strip(1.0f);
    b = strip(10.0f, 4);
    c = strip(20.0f);
    state().faces[10] = tess::BodyFaces{{a, b}, {5, 6}, {rgba(1, 0, 0, 1), rgba(0, 1, 0, -1)}};
    state().faces[20] = tess::BodyFaces{};
    state().faces[30] = tess::BodyFaces{{c}, {9}, {rgba(0, 0, 1, 1)}};
  }
  void TearDown() override {
    a = b = c = nullptr;
    tess::TessTest::TearDown();
  }
  MvAutoPtr<MvTriStripSet> a, b, c;
};

std::vector<std::vector<int>> maps(const MvAVec<MvIVec<int>>& m) {
  std::vector<std::vector<int>> out;
  for (int i = 0; i < m.length(); ++i) out.emplace_back(m[i].begin(), m[i].end());
  return out;
}

std::vector<const MvTriStripSet*> shapes(const MvAutoPtrVec<MvTriStripSet>& l) {
  std::vector<const MvTriStripSet*> out;
  for (int i = 0; i < l.length(); ++i) out.push_back(l[i].get());
  return out;
}

TEST_F(FaceShapes, GatheredInBodyOrderWithMaterials) {
  MvAutoPtr<MvKMBrep> e = element({10, 20, 30});
  MvKMBrep::KmBrepTessParams p;
  MvKMBrep::initializeTessParam(p, 0);
  MvAutoPtrVec<MvTriStripSet> list;
  list.append(strip(99.0f));  // emptied first
  MvAVec<MvIVec<int>> mapKmMv;
  mapKmMv[0].append(42);  // kept: entries are appended

  EXPECT_EQ(e->getMvFaceShapeList(p, list, mapKmMv, 1), 1u);
  EXPECT_EQ(shapes(list), (std::vector<const MvTriStripSet*>{a, b, c}));
  EXPECT_EQ(maps(mapKmMv), (std::vector<std::vector<int>>{{42}, {5, 6}, {}, {9}}));
  EXPECT_EQ(p.bConditioned, 1u);
  EXPECT_EQ(state().tessCalls, (std::vector<int>{10, 20, 30}));
  EXPECT_EQ(state().tessConditioned, (std::vector<unsigned>{1, 1, 1}));
  // Box calls three levels deep (operation, gathering, box), tessellation two.
  EXPECT_EQ(state().lockDepths, (std::vector<int>{3, 3, 3, 2, 2, 2}));
  EXPECT_EQ(a->refCount(), 3);  // the test, the double's record, the list
  ASSERT_EQ(tess::materials(*a).size(), 1u);
  EXPECT_TRUE(tess::sameColor(tess::materials(*a)[0]->diffuseColor(), rgba(1, 0, 0, 1)));
  EXPECT_EQ(b->attributeCount(), 0);  // negative alpha: no material
  ASSERT_EQ(c->attributeCount(), 1);
  EXPECT_TRUE(MvErrorState::reports().empty());

  // Without colours no material is added.
  MvAutoPtrVec<MvTriStripSet> plain;
  EXPECT_EQ(e->getMvFaceShapeList(p, plain, mapKmMv, 0), 1u);
  EXPECT_EQ(mapKmMv.length(), 7);
  EXPECT_EQ(a->attributeCount(), 1);
  EXPECT_EQ(c->attributeCount(), 1);

  // The gathering step alone, without colours.
  MvAutoPtr<tess::Access> access = new tess::Access();
  access->appendKmPart(fake::tags({30, 10}), 1);
  MvAVec<MvIVec<int>> accessMaps;
  EXPECT_EQ(access->_getFaceShapeColorArray(p, plain, accessMaps, nullptr), 1u);
  EXPECT_EQ(shapes(plain), (std::vector<const MvTriStripSet*>{c, a, b}));
}

TEST_F(FaceShapes, MergedByColour) {
  state().faces[30].colors[0] = rgba(1, 0, 0, 1);  // red like face a
  MvAutoPtr<MvKMBrep> e = element({10, 20, 30});
  MvKMBrep::KmBrepTessParams p;
  MvKMBrep::initializeAbsTessParam(p);
  MvAutoPtrVec<MvTriStripSet> out;
  MvAutoPtr<MvTriStripSet> kept = strip(50.0f);
  out.append(kept);
  EXPECT_EQ(e->getMvColorShapeList(p, out), 1u);
  ASSERT_EQ(out.length(), 3);
  EXPECT_EQ(out[0].get(), kept.get());
  EXPECT_TRUE(tess::sameTriangles(tess::triangles(*out[1]), tess::concat({a, c})));
  EXPECT_TRUE(tess::sameTriangles(tess::triangles(*out[2]), tess::triangles(*b)));
  EXPECT_EQ(out[1]->attributeCount(), 1);
  EXPECT_EQ(out[2]->attributeCount(), 0);
  // The face shapes are back to the references the test and the double hold.
  EXPECT_EQ(a->refCount(), 2);
  EXPECT_EQ(a->attributeCount(), 0);
}

TEST_F(FaceShapes, BodyFailureStopsWithoutRollback) {
  state().faces[30].map.push_back(3);  // one shape, one colour, two map entries
  MvAutoPtr<MvKMBrep> e = element({10, 30, 20});
  MvKMBrep::KmBrepTessParams p;
  MvKMBrep::initializeTessParam(p, 2);
  MvAutoPtrVec<MvTriStripSet> list;
  MvAVec<MvIVec<int>> mapKmMv;
  EXPECT_EQ(e->getMvFaceShapeList(p, list, mapKmMv, 1), 0u);
  EXPECT_EQ(fake::reports(), (std::vector<fake::Report>{report("_getFaceShapeColorArray", kTessCheck),
                                                        report("getMvShapeList", kFaceGather)}));
  EXPECT_EQ(state().tessCalls, (std::vector<int>{10, 30}));
  EXPECT_EQ(shapes(list), (std::vector<const MvTriStripSet*>{a, b}));
  EXPECT_EQ(maps(mapKmMv), (std::vector<std::vector<int>>{{5, 6}}));
  EXPECT_EQ(a->attributeCount(), 0);  // no colours applied
  EXPECT_EQ(c->refCount(), 2);        // the callback's references were dropped

  // The colour operation leaves the caller's list alone.
  MvErrorState::clear();
  MvAutoPtrVec<MvTriStripSet> out;
  EXPECT_EQ(e->getMvColorShapeList(p, out), 0u);
  EXPECT_EQ(out.length(), 0);
  EXPECT_EQ(fake::reports(), (std::vector<fake::Report>{report("_getFaceShapeColorArray", kTessCheck),
                                                        report("getMvShapeList", kColorGather)}));
  EXPECT_EQ(a->refCount(), 3);  // test, double, `list`

  // A callback answering 0 fails the same way.
  MvErrorState::clear();
  state().faces.erase(30);
  EXPECT_EQ(e->getMvColorShapeList(p, out), 0u);
  EXPECT_EQ(fake::reports().size(), 2u);
}

TEST_F(FaceShapes, RefusedBeforeAnyCallback) {
  MvKMBrep::KmBrepTessParams p;
  MvKMBrep::initializeTessParam(p, 0);
  const MvKMBrep::KmBrepTessParams before = p;
  MvAutoPtrVec<MvTriStripSet> list;
  MvAutoPtr<MvTriStripSet> kept = strip(3.0f);
  list.append(kept);
  MvAVec<MvIVec<int>> mapKmMv;

  MvAutoPtr<MvKMBrep> none = element({});
  EXPECT_EQ(none->getMvFaceShapeList(p, list, mapKmMv, 1), 0u);
  EXPECT_EQ(none->getMvColorShapeList(p, list), 0u);
  EXPECT_EQ(fake::reports(), (std::vector<fake::Report>{report("_getFaceShapeColorArray", "kmBodyList.length() > 0"),
                                                        report("getMvShapeList", kFaceGather),
                                                        report("_getFaceShapeColorArray", "kmBodyList.length() > 0"),
                                                        report("getMvShapeList", kColorGather)}));
  EXPECT_EQ(list.length(), 1);
  EXPECT_EQ(mapKmMv.length(), 0);

  MvErrorState::clear();
  MvKMBrep::setKmTessCallback(nullptr);
  MvAutoPtr<MvKMBrep> e = element({10});
  EXPECT_EQ(e->getMvColorShapeList(p, list), 0u);
  EXPECT_EQ(fake::reports(), (std::vector<fake::Report>{report("_getFaceShapeColorArray", "_pfKmTessCB != NULL"),
                                                        report("getMvShapeList", kColorGather)}));
  EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0);
  EXPECT_TRUE(state().boxCalls.empty());
  EXPECT_EQ(list.length(), 1);
}

TEST_F(FaceShapes, AllocationFailuresFailTheOperation) {
  MvAutoPtr<MvKMBrep> e = element({10, 20, 30});
  MvKMBrep::KmBrepTessParams p;
  MvKMBrep::initializeAbsTessParam(p);
  const long long memory = MvPlatform::instance()->memoryInUse();
  // Sweep every allocation: a failure fails the operation with reports (only
  // a lost material lets it succeed) and leaks nothing.
  bool sawColourCheck = false;
  for (long long n = 0;; ++n) {
    SCOPED_TRACE(n);
    MvErrorState::clear();
    unsigned ok = 0;
    int materialCount = 0;
    {
      MvAutoPtrVec<MvTriStripSet> list;
      MvAVec<MvIVec<int>> mapKmMv;
      MvHeap::failAt(n);
      ok = e->getMvFaceShapeList(p, list, mapKmMv, 1);
      MvHeap::disarm();
      if (ok) {
        EXPECT_EQ(shapes(list), (std::vector<const MvTriStripSet*>{a, b, c}));
        EXPECT_EQ(maps(mapKmMv), (std::vector<std::vector<int>>{{5, 6}, {}, {9}}));
        materialCount = a->attributeCount() + c->attributeCount();
      }
    }
    if (MvHeap::injectedFailures() == 0) {
      EXPECT_EQ(ok, 1u);
      break;
    }
    ASSERT_FALSE(MvErrorState::reports().empty());
    if (ok) {
      EXPECT_LT(materialCount, 2);
    }
    for (const MvErrorReport& r : MvErrorState::reports()) {
      sawColourCheck |= r.condition == "(*shapeColorArray).length() == pFaceShapeList.length()";
    }
    a = strip(1.0f);  // fresh shapes without materials
    c = strip(20.0f);
    state().faces[10].shapes[0] = a;
    state().faces[30].shapes[0] = c;
    EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memory);
  }
  EXPECT_TRUE(sawColourCheck);
}

TEST_F(FaceShapes, HaveColorAttr) {
  state().colorAnswers = {{1, 0}, {2, 7}, {3, 1}};
  MvAutoPtr<MvKMBrep> e = element({1, 2, 3});
  EXPECT_EQ(e->haveColorAttr(), 7u);
  EXPECT_EQ(state().colorCalls, (std::vector<int>{1, 2}));
  EXPECT_EQ(state().lockDepths, (std::vector<int>{1, 1}));

  state().colorCalls.clear();
  EXPECT_EQ(element({})->haveColorAttr(), 0u);
  EXPECT_TRUE(state().colorCalls.empty());
  EXPECT_TRUE(MvErrorState::reports().empty());

  MvKMBrep::setKmBodyColorCallback(nullptr);
  EXPECT_EQ(e->haveColorAttr(), 0u);
  EXPECT_EQ(fake::reports(), (std::vector<fake::Report>{report("haveColorAttr", "_pfKmBodyColorCB != NULL")}));
}

}  // namespace
