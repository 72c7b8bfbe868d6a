#include "support/fake_kernel_callbacks.h"

using namespace fake;

namespace {

using OnFlyTest = fake::LibraryTest;
using Holder = MvAutoPtr<MvKMBrepOnFly>;

// The cleaned and the uncleaned entities.
using Lists = std::pair<std::vector<int>, std::vector<int>>;
Lists lists(const MvKMBrepOnFly& h) { return {toStd(h.kmEntity()), toStd(h.kmUnCleanedEntity())}; }

TEST_F(OnFlyTest, ListsAndBrepLink) {
  MvKMBrep::setKmReleaseCallback(nullptr);
  Holder h(new MvKMBrepOnFly());
  MvAutoPtr<MvBrep> brep(new MvBrep());
  h->setMvBrep(brep);
  h->setMvBrep(brep);  // one reference however often it is set
  EXPECT_EQ(brep->refCount(), 2);

  h->appendKmEntity(tags({4, 5}), 0);
  h->appendKmEntity(tags({1, 2}), 1);
  EXPECT_EQ(lists(*h), Lists({1, 2}, {4, 5}));

  // Without a release callback unloading is refused and the lists are kept.
  EXPECT_EQ(outcome(h->unloadKmEntity()),
            "result 0; MvKMBrepOnFly::unloadKmEntity: pfKmReleaseCB != NULL (5); rethrown 0");
  MvKMBrep::setKmReleaseCallback(fake::release);

  // A removed entity leaves the holder's care: never released.
  h->removeKmEntity(0, 1);
  h->removeKmEntity(9, 1);  // reported by the vector
  EXPECT_EQ(fake::reports().back(),
            (Report{"MvVecBase", "remove", "MvVecBASE<T,S>::remove() -- start>=this->len .", 1}));
  EXPECT_EQ(h->unloadKmEntity(), 1u);
  EXPECT_EQ(h->mvBrep(), brep.get());
  EXPECT_EQ(h->unloadKmEntity(), 1u);  // empty: still two calls, with 0 and null
  EXPECT_EQ(fake::calls().releaseCounts, (std::vector<int>{1, 2, 0, 0}));
  EXPECT_EQ(fake::calls().releaseNullPtr, (std::vector<bool>{false, false, true, true}));
  h->setMvBrep(nullptr);
  EXPECT_EQ(brep->refCount(), 1);

  // Destruction releases the cleaned entities first.
  h->appendKmEntity(tags({3}), 0);
  h->appendKmEntity(tags({1, 2}), 1);
  h = nullptr;
  EXPECT_EQ(fake::calls().released, (std::vector<std::vector<int>>{{2}, {4, 5}, {}, {}, {1, 2}, {3}}));

  // Without a release callback destruction frees the lists silently.
  MvKMBrep::setKmReleaseCallback(nullptr);
  MvErrorState::clear();
  Holder(new MvKMBrepOnFly())->appendKmEntity(tags({6}), 1);
  EXPECT_TRUE(MvErrorState::reports().empty());
  EXPECT_EQ(fake::calls().released.size(), 6u);
  EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memoryAtStart);
}

TEST_F(OnFlyTest, CopiesAndAssignment) {
  Holder src(new MvKMBrepOnFly());
  MvAutoPtr<MvBrep> brep(new MvBrep());
  src->setMvBrep(brep);
  src->appendKmEntity(tags({1, 2, 3}), 1);
  src->appendKmEntity(tags({9}), 0);
  {
    // No copy callback: nothing is copied, no call through a null pointer.
    Holder copy(new MvKMBrepOnFly(*src));
    EXPECT_EQ(lists(*copy), Lists());
    EXPECT_EQ(copy->mvBrep(), brep.get());
    EXPECT_EQ(brep->refCount(), 3);
  }
  // A failed copy ends the copying; the copies made so far stand, unreported.
  MvKMBrep::setKmCopyCallback(fake::copy);
  fake::calls().failCopyAt = 1;
  Holder partial(new MvKMBrepOnFly(*src));
  EXPECT_EQ(lists(*partial), Lists({1000}, {}));
  EXPECT_TRUE(MvErrorState::reports().empty());

  fake::calls().failCopyAt = -1;
  Holder target(new MvKMBrepOnFly());
  target->appendKmEntity(tags({50}), 1);
  *target = *src;
  EXPECT_EQ(lists(*target), Lists({50, 1001, 1002, 1003}, {1004}));
  EXPECT_EQ(target->mvBrep(), brep.get());

  // Self-assignment copies each listed entity once.
  *target = *target;
  EXPECT_EQ(lists(*target), Lists({50, 1001, 1002, 1003, 1005, 1006, 1007, 1008}, {1004, 1009}));

  MvBase* out = nullptr;
  EXPECT_EQ(static_cast<const MvBase&>(*src)._clone(out), 1u);
  MvAutoPtr<MvBase> clone(out);
  EXPECT_EQ(static_cast<MvKMBrepOnFly*>(out)->kmEntity().length(), 3);
}

// A release callback that unloads the same holder finds it empty: every entity goes back once.
MvKMBrepOnFly* gHolder = nullptr;

TEST_F(OnFlyTest, ReleaseCallbackThatUnloadsTheHolderReleasesEachEntityOnce) {
  MvKMBrep::setKmReleaseCallback([](int count, const int* tags) -> unsigned {
    fake::calls().released.emplace_back(tags, tags + count);
    if (MvKMBrepOnFly* h = gHolder) {
      gHolder = nullptr;
      h->unloadKmEntity();
    }
    return 1;
  });
  Holder h(new MvKMBrepOnFly());
  h->appendKmEntity(tags({1, 2}), 1);
  h->appendKmEntity(tags({3}), 0);
  gHolder = h.get();
  EXPECT_EQ(h->unloadKmEntity(), 1u);
  EXPECT_EQ(fake::calls().released, (std::vector<std::vector<int>>{{1, 2}, {}, {}, {3}}));
  EXPECT_EQ(lists(*h), Lists());
}

}  // namespace
