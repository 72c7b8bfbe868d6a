#include "tess/tess_support.h"

#include <functional>

namespace {

using tess::lockDepth;
using tess::rgba;
using tess::state;
using tess::strip;

class LockAndExceptions : public tess::TessTest {
 protected:
  void SetUp() override {
    tess::TessTest::SetUp();
    unitBoxes({1, 2});
    shape = strip(1.0f);
    state().faces[1] = tess::BodyFaces{{shape}, {0}, {rgba(1, 0, 0, 1)}};
    state().faces[2] = tess::BodyFaces{{shape}, {0}, {rgba(0, 1, 0, 1)}};
    state().edges[1] = {tess::polyline(1)};
    state().edges[2] = {tess::polyline(2)};
  }
  void TearDown() override {
    shape = nullptr;
    tess::TessTest::TearDown();
  }

  // Every tessellation operation, each on fresh outputs.
  std::vector<std::function<unsigned()>> operations(MvKMBrep& e) {
    return {
        [&e] {
          MvBox3f box;
          return e.getBBox(box);
        },
        [&e] { return e.haveColorAttr(); },
        [&e] {
          MvKMBrep::KmBrepTessParams p;
          MvKMBrep::initializeTessParam(p, 1);
          MvAutoPtrVec<MvTriStripSet> shapes;
          MvAVec<MvIVec<int>> maps;
          return e.getMvFaceShapeList(p, shapes, maps, 1);
        },
        [&e] {
          MvKMBrep::KmBrepTessParams p;
          MvKMBrep::initializeTessParam(p, 1);
          MvAutoPtrVec<MvTriStripSet> shapes;
          return e.getMvColorShapeList(p, shapes);
        },
        [&e] {
          MvKMBrep::KmBrepTessParams p;
          MvKMBrep::initializeTessParam(p, 1);
          MvAutoPtrVec<MvPolylineSet> sets;
          return e.getMvEdgeShape(p, sets);
        },
    };
  }

  MvAutoPtr<MvTriStripSet> shape;
};

TEST_F(LockAndExceptions, LockFreeAfterSuccessAndFailure) {
  state().colorAnswers[2] = 1;
  MvAutoPtr<MvKMBrep> e = element({1, 2});
  for (auto& op : operations(*e)) {
    EXPECT_EQ(op(), 1u);
    EXPECT_EQ(lockDepth(), 0);
  }
  EXPECT_TRUE(MvErrorState::reports().empty());
  EXPECT_EQ(shape->refCount(), 3);  // test and the double's two entries

  state().boxes.erase(2);
  state().colorAnswers[2] = 0;
  for (auto& op : operations(*e)) {
    EXPECT_EQ(op(), 0u);
    EXPECT_EQ(lockDepth(), 0);
  }
}

TEST_F(LockAndExceptions, CallbackExceptionsPassThrough) {
  MvAutoPtr<MvKMBrep> e = element({1, 2});
  const long long memory = MvPlatform::instance()->memoryInUse();

  state().throwTessAt = 2;  // after body 2's shape was handed over
  auto ops = operations(*e);
  EXPECT_THROW(ops[2](), std::runtime_error);
  EXPECT_EQ(lockDepth(), 0);
  EXPECT_THROW(ops[3](), std::runtime_error);
  EXPECT_EQ(lockDepth(), 0);
  EXPECT_EQ(shape->refCount(), 3);

  state().throwBoxAt = 2;  // three lock levels deep
  for (int i : {0, 2, 3, 4}) {
    EXPECT_THROW(ops[i](), std::runtime_error);
    EXPECT_EQ(lockDepth(), 0);
  }
  EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memory);
}

TEST_F(LockAndExceptions, ThrowingReportsReleaseEverything) {
  MvAutoPtr<MvKMBrep> e = element({1, 2});
  MvAutoPtr<MvKMBrep> none = element({});
  state().faces[2].map.push_back(1);  // lengths disagree at body 2
  state().edges.erase(2);
  const long long memory = MvPlatform::instance()->memoryInUse();
  MvErrorState::setThrowOnError(true);

  auto ops = operations(*e);
  EXPECT_THROW(ops[2](), MvError);
  EXPECT_THROW(ops[3](), MvError);
  EXPECT_EQ(lockDepth(), 0);
  EXPECT_EQ(shape->refCount(), 3);

  EXPECT_THROW(ops[4](), MvError);
  state().boxes.erase(2);
  EXPECT_THROW(ops[0](), MvError);
  auto emptyOps = operations(*none);
  for (int i : {2, 3, 4}) EXPECT_THROW(emptyOps[i](), MvError);
  EXPECT_EQ(lockDepth(), 0);

  // A merge whose report throws frees its working state too.
  MvAutoPtrVec<MvTriStripSet> faces;
  faces.append(shape);
  MvAVec<MvVec4<float>> colors;
  colors.append(rgba(1, 0, 0, 1));
  colors.append(rgba(0, 0, 1, 1));
  MvAutoPtrVec<MvTriStripSet> out;
  EXPECT_THROW(MvKMBrep::mergeShapeWithSameColor(faces, colors, out), MvError);
  EXPECT_EQ(out.length(), 1);
  MvErrorState::setThrowOnError(false);
  faces = MvAutoPtrVec<MvTriStripSet>();
  colors = MvAVec<MvVec4<float>>();
  out = MvAutoPtrVec<MvTriStripSet>();
  EXPECT_EQ(shape->refCount(), 3);
  EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memory);
}

}  // namespace
