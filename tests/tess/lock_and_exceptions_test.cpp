#include "tess/tess_support.h"

namespace {

using namespace tess;

// The fixture checks after every test that the kernel lock is free, which covers the success and failure paths; here
// the callbacks throw (three lock levels deep in the shape operations).
class LockAndExceptions : public TessTest {};

TEST_F(LockAndExceptions, CallbackExceptionsReleaseTheLock) {
  unitBoxes({1, 2});
  state().throwAt = 2;
  MvAutoPtr<MvKMBrep> e = element({1, 2});
  Shapes shapes;
  MvAVec<MvIVec<int>> maps;
  Sets sets;
  MvBox3f box;
  EXPECT_THROW(e->getBBox(box), std::runtime_error);
  EXPECT_THROW(e->haveColorAttr(), std::runtime_error);
  EXPECT_THROW(e->getMvFaceShapeList(p, shapes, maps, 1), std::runtime_error);
  EXPECT_THROW(e->getMvColorShapeList(p, shapes), std::runtime_error);
  EXPECT_THROW(e->getMvEdgeShape(p, sets), std::runtime_error);
}

}  // namespace
