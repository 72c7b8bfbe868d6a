#include "support/fake_kernel_callbacks.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace fake;

namespace {

const Report kLockReport{"MvKMBrep", "staticLock",
                         "s_pKorvaniteMutex != NULL && s_pKorvaniteMutex->lock(msecTimeOut)", 5};
const Report kUnlockReport{"MvKMBrep", "staticUnlock",
                           "s_pKorvaniteMutex != NULL && s_pKorvaniteMutex->unlock()", 5};

using LockTest = fake::LibraryTest;

TEST_F(LockTest, NestsOnOneThreadAndBlocksOthers) {
  ASSERT_EQ(MvKMBrep::staticLock(0xFFFFFFFF), 1u);
  ASSERT_EQ(MvKMBrep::staticLock(0xFFFFFFFF), 1u);
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex->heldDepth(), 2);

  std::atomic<bool> removed{false};
  MvAutoPtr<MvKMBrep> other = element({4});
  std::thread worker([&] { removed = other->removeAllParts() == 1; });  // needs the lock
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(removed.load());

  element();  // the holder can destroy an element, whose destructor locks again

  EXPECT_EQ(MvKMBrep::staticUnlock(), 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(removed.load());
  EXPECT_EQ(MvKMBrep::staticUnlock(), 1u);
  worker.join();
  EXPECT_TRUE(removed.load());
  EXPECT_EQ(other->isEmpty(), 1u);
  EXPECT_TRUE(MvErrorState::reports().empty());

  // Unlocking a lock this thread does not hold fails with its report.
  EXPECT_EQ(MvKMBrep::staticUnlock(), 0u);
  EXPECT_EQ(fake::reports(), std::vector<Report>{kUnlockReport});
}

// removeAllParts, the destructor and a thrown report are run the same way by
// the reliability suite's fault paths.
TEST_F(LockTest, ThrowingReleaseCallbackLeavesTheLockFree) {
  MvAutoPtr<MvKMBrep> e = element({1, 2});
  fake::calls().throwOnRelease = true;
  EXPECT_THROW(e->removePart(0), std::runtime_error);
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex->heldDepth(), 0);
}

TEST(LockWithoutInit, EveryLockingOperationReportsBothMessagesAndWorks) {
  fake::reset();
  ASSERT_EQ(MvKMBrep::s_pKorvaniteMutex, nullptr);
  MvAutoPtr<MvKMBrep> e = element({3, 4});
  // Serialising without callbacks is refused before it would lock: one report only.
  EXPECT_EQ(e->serialize(*MvAutoPtr<MvMemoryStream>(new MvMemoryStream())), 0u);
  EXPECT_EQ(fake::reports().size(), 1u);

  MvErrorState::clear();
  MvKMBrep::setKmReleaseCallback(fake::release);
  EXPECT_EQ(e->removePart(0), 1u);
  EXPECT_EQ(fake::reports(), (std::vector<Report>{kLockReport, kUnlockReport}));
  MvErrorState::clear();
  e = nullptr;  // destructor and removeAllParts: two levels
  EXPECT_EQ(fake::reports(), (std::vector<Report>{kLockReport, kLockReport, kUnlockReport, kUnlockReport}));
  EXPECT_EQ(fake::calls().released, (std::vector<std::vector<int>>{{3}, {4}}));
  fake::reset();
}

}  // namespace
