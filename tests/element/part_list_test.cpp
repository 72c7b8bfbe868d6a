#include "support/fake_kernel_callbacks.h"

using fake::Report;
using fake::tags;
using fake::toStd;

namespace {

class PartListTest : public fake::LibraryTest {
 protected:
  MvAutoPtr<MvKMBrep> make() { return MvAutoPtr<MvKMBrep>(new MvKMBrep()); }
};

TEST_F(PartListTest, AppendStoresTagsAndFlagsUnchanged) {
  MvKMBrep::setKmReleaseCallback(fake::release);
  MvAutoPtr<MvKMBrep> e = make();
  EXPECT_EQ(e->isEmpty(), 1u);
  EXPECT_EQ(e->appendKmPart(MvVec<int>(), 0), 1u);
  EXPECT_EQ(e->isEmpty(), 1u);
  EXPECT_EQ(e->appendKmPart(tags({1, 2}), 0), 1u);
  EXPECT_EQ(e->appendKmPart(tags({3}), 5), 1u);
  EXPECT_EQ(toStd(e->kmPart()), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(toStd(e->kmPartOwnerFlags()), (std::vector<unsigned>{0, 0, 5}));
  EXPECT_EQ(e->isEmpty(), 0u);

  // Appending the element's own list doubles it once.
  EXPECT_EQ(e->appendKmPart(e->kmPart(), 7), 1u);
  EXPECT_EQ(toStd(e->kmPart()), (std::vector<int>{1, 2, 3, 1, 2, 3}));
  EXPECT_EQ(toStd(e->kmPartOwnerFlags()), (std::vector<unsigned>{0, 0, 5, 7, 7, 7}));
  EXPECT_TRUE(MvErrorState::reports().empty());

  e = nullptr;  // the owned parts 1 and 2 are released, foreign ones never
  ASSERT_EQ(fake::calls().released.size(), 1u);
  EXPECT_EQ(fake::calls().released[0], (std::vector<int>{1, 2}));
}

TEST_F(PartListTest, AppendFailingOnFlagsKeepsListsConsistent) {
  MvAutoPtr<MvKMBrep> e = make();
  ASSERT_EQ(e->appendKmPart(tags({1}), 1), 1u);
  const MvVec<int> more = tags({2, 3});
  MvHeap::failAt(1);  // the tag list grows, the flag list cannot
  EXPECT_EQ(e->appendKmPart(more, 1), 0u);
  MvHeap::disarm();
  EXPECT_EQ(toStd(e->kmPart()), (std::vector<int>{1}));
  EXPECT_EQ(e->kmPartOwnerFlags().length(), 1);
  ASSERT_FALSE(fake::reports().empty());
  EXPECT_EQ(fake::reports().back(),
            (Report{"MvKMBrep", "appendKmPart", "_vbHasOwnerFlagList.append(bHasOwner)", 5}));

  MvErrorState::clear();
  const MvVec<int> many = tags({2, 3, 4, 5, 6});
  MvHeap::failAt(0);  // the tag list cannot grow
  EXPECT_EQ(e->appendKmPart(many, 1), 0u);
  MvHeap::disarm();
  EXPECT_EQ(fake::reports().back(), (Report{"MvKMBrep", "appendKmPart", "_vKMPartList.append(kmPartList)", 5}));
  EXPECT_EQ(fake::reports().front(),
            (Report{"MvVecBase", "reallocMem", "Allocation failed: p = new MvChar[cNewAllocBytes]", 20}));
  EXPECT_EQ(e->kmPart().length(), 1);
}

TEST_F(PartListTest, CopyAppendCopiesOwnedPartsAndStopsAtFailure) {
  MvKMBrep::setKmReleaseCallback(fake::release);
  MvAutoPtr<MvKMBrep> e = make();
  EXPECT_EQ(e->copyAppendKmPart(tags({1})), 0u);
  EXPECT_EQ(fake::reports().back(), (Report{"MvKMBrep", "copyAppendKmPart", "pfKmCopyCB != NULL", 5}));
  MvErrorState::clear();

  MvKMBrep::setKmCopyCallback(fake::copy);
  fake::calls().failCopyAt = 2;
  EXPECT_EQ(e->copyAppendKmPart(tags({10, 11, 12, 13})), 0u);
  EXPECT_EQ(fake::calls().copiedFrom, (std::vector<int>{10, 11, 12}));
  EXPECT_EQ(toStd(e->kmPart()), (std::vector<int>{1000, 1001}));
  EXPECT_EQ(toStd(e->kmPartOwnerFlags()), (std::vector<unsigned>{0, 0}));
  EXPECT_TRUE(MvErrorState::reports().empty());

  // The element's own list as source: each original part is copied once.
  fake::calls().failCopyAt = -1;
  EXPECT_EQ(e->copyAppendKmPart(e->kmPart()), 1u);
  EXPECT_EQ(toStd(e->kmPart()), (std::vector<int>{1000, 1001, 1002, 1003}));
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex->heldDepth(), 0);
}

TEST_F(PartListTest, RemovePartReleasesOnlyOwnedParts) {
  MvAutoPtr<MvKMBrep> e = make();
  e->appendKmPart(tags({7}), 0);
  e->appendKmPart(tags({8}), 1);
  e->appendKmPart(tags({9}), 0);
  EXPECT_EQ(e->removePart(0), 0u);  // no release callback
  EXPECT_EQ(fake::reports().back(), (Report{"MvKMBrep", "removePart", "pfKmReleaseCB != NULL", 5}));
  MvKMBrep::setKmReleaseCallback(fake::release);
  MvErrorState::clear();
  EXPECT_EQ(e->removePart(-1), 0u);
  EXPECT_EQ(e->removePart(3), 0u);
  EXPECT_EQ(fake::reports(),
            (std::vector<Report>{{"MvKMBrep", "removePart", "i>=0 && i<_vKMPartList.length()", 5},
                                 {"MvKMBrep", "removePart", "i>=0 && i<_vKMPartList.length()", 5}}));
  EXPECT_EQ(e->removePart(1), 1u);  // foreign: nothing released
  EXPECT_TRUE(fake::calls().released.empty());
  EXPECT_EQ(e->removePart(0), 1u);
  ASSERT_EQ(fake::calls().released.size(), 1u);
  EXPECT_EQ(fake::calls().released[0], (std::vector<int>{7}));
  EXPECT_EQ(toStd(e->kmPart()), (std::vector<int>{9}));
  EXPECT_EQ(toStd(e->kmPartOwnerFlags()), (std::vector<unsigned>{0}));
}

TEST_F(PartListTest, RemoveAllReleasesOwnedTagsOnceAfterEmptying) {
  MvAutoPtr<MvKMBrep> e = make();
  e->appendKmPart(tags({7}), 0);
  e->appendKmPart(tags({8}), 1);
  e->appendKmPart(tags({9}), 0);
  EXPECT_EQ(e->removeAllParts(), 0u);
  EXPECT_EQ(fake::reports().back(), (Report{"MvKMBrep", "removeAllParts", "pfKmReleaseCB != NULL", 5}));
  EXPECT_EQ(e->kmPart().length(), 3);

  MvKMBrep::setKmReleaseCallback(fake::release);
  EXPECT_EQ(e->removeAllParts(), 1u);
  ASSERT_EQ(fake::calls().released.size(), 1u);
  EXPECT_EQ(fake::calls().released[0], (std::vector<int>{7, 9}));
  EXPECT_EQ(e->isEmpty(), 1u);
  EXPECT_EQ(e->removeAllParts(), 1u);  // nothing owned: no call
  EXPECT_EQ(fake::calls().released.size(), 1u);
  e = nullptr;
  EXPECT_EQ(fake::calls().released.size(), 1u);
  EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memoryAtStart);
}

TEST_F(PartListTest, DestroyingWithoutReleaseCallbackFreesListsOnly) {
  MvAutoPtr<MvKMBrep> e = make();
  e->appendKmPart(tags({1, 2, 3}), 0);
  e = nullptr;
  EXPECT_TRUE(fake::calls().released.empty());
  EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memoryAtStart);
}

TEST_F(PartListTest, CopiesAndAssignmentGoThroughTheCopyCallback) {
  MvKMBrep::setKmReleaseCallback(fake::release);
  MvAutoPtr<MvKMBrep> src = make();
  src->appendKmPart(tags({1}), 0);
  src->appendKmPart(tags({2}), 9);
  {
    // No copy callback: an element without parts.
    MvAutoPtr<MvKMBrep> copy(new MvKMBrep(*src));
    EXPECT_EQ(copy->isEmpty(), 1u);
  }
  MvKMBrep::setKmCopyCallback(fake::copy);
  MvAutoPtr<MvKMBrep> copy(new MvKMBrep(*src));
  EXPECT_EQ(toStd(copy->kmPart()), (std::vector<int>{1000, 1001}));
  EXPECT_EQ(toStd(copy->kmPartOwnerFlags()), (std::vector<unsigned>{0, 0}));
  EXPECT_EQ(copy->refCount(), 1);

  // A copy failing part way gives back the copies already made.
  fake::calls().failCopyAt = static_cast<int>(fake::calls().copiedFrom.size()) + 1;
  MvAutoPtr<MvKMBrep> partial(new MvKMBrep(*src));
  EXPECT_EQ(partial->isEmpty(), 1u);
  ASSERT_EQ(fake::calls().released.size(), 1u);
  EXPECT_EQ(fake::calls().released[0], (std::vector<int>{1002}));

  // Assignment appends copies behind the target's parts; self-assignment
  // copies each part once.
  fake::calls().failCopyAt = -1;
  *copy = *src;
  EXPECT_EQ(toStd(copy->kmPart()), (std::vector<int>{1000, 1001, 1003, 1004}));
  *copy = *copy;
  EXPECT_EQ(copy->kmPart().length(), 8);
  EXPECT_EQ(toStd(copy->kmPartOwnerFlags()), (std::vector<unsigned>(8, 0)));

  // A failing assignment leaves the target unchanged and releases its copies.
  fake::calls().released.clear();
  fake::calls().failCopyAt = static_cast<int>(fake::calls().copiedFrom.size()) + 1;
  *copy = *src;
  EXPECT_EQ(copy->kmPart().length(), 8);
  ASSERT_EQ(fake::calls().released.size(), 1u);
  EXPECT_EQ(fake::calls().released[0].size(), 1u);
}

TEST_F(PartListTest, ThrowingCopyCallbackReleasesCopiesAndPassesOn) {
  MvKMBrep::setKmReleaseCallback(fake::release);
  MvKMBrep::setKmCopyCallback(fake::copy);
  MvAutoPtr<MvKMBrep> src = make();
  src->appendKmPart(tags({1, 2, 3}), 0);
  fake::calls().throwCopyAt = 2;
  EXPECT_THROW(MvAutoPtr<MvKMBrep>(new MvKMBrep(*src)), std::runtime_error);
  ASSERT_EQ(fake::calls().released.size(), 1u);
  EXPECT_EQ(fake::calls().released[0], (std::vector<int>{1000, 1001}));

  fake::calls().throwCopyAt = static_cast<int>(fake::calls().copiedFrom.size());
  EXPECT_THROW(src->copyAppendKmPart(tags({5})), std::runtime_error);
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex->heldDepth(), 0);
  EXPECT_EQ(src->kmPart().length(), 3);
}

TEST_F(PartListTest, HolderLinkCountsReferences) {
  MvAutoPtr<MvKMBrep> e = make();
  MvAutoPtr<MvKMBrepOnFly> holder(new MvKMBrepOnFly());
  MvKMBrep::setKmReleaseCallback(fake::release);
  EXPECT_EQ(e->setKmBrepOnFly(holder), 1u);
  EXPECT_EQ(holder->refCount(), 2);
  EXPECT_EQ(e->setKmBrepOnFly(holder), 1u);
  EXPECT_EQ(holder->refCount(), 2);
  {
    MvAutoPtr<MvBase> linked = e->kmBrepOnFly();
    EXPECT_EQ(linked.get(), holder.get());
    EXPECT_EQ(holder->refCount(), 3);
  }
  // A copy of the element does not share the link.
  MvAutoPtr<MvKMBrep> copy(new MvKMBrep(*e));
  EXPECT_EQ(copy->kmBrepOnFly().get(), nullptr);
  EXPECT_EQ(e->setKmBrepOnFly(nullptr), 1u);
  EXPECT_EQ(holder->refCount(), 1);
  e->setKmBrepOnFly(holder);
  e = nullptr;  // the element's reference goes with it
  EXPECT_EQ(holder->refCount(), 1);
}

}  // namespace
