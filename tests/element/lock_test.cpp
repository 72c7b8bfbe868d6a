#include "support/fake_kernel_callbacks.h"

#include <atomic>
#include <chrono>
#include <thread>

using fake::Report;
using fake::tags;

namespace {

const Report kLockReport{"MvKMBrep", "staticLock",
                         "s_pKorvaniteMutex != NULL && s_pKorvaniteMutex->lock(msecTimeOut)", 5};
const Report kUnlockReport{"MvKMBrep", "staticUnlock",
                           "s_pKorvaniteMutex != NULL && s_pKorvaniteMutex->unlock()", 5};

unsigned versionTwo(int& major, int& minor) {
  major = 2;
  minor = 0;
  return 1;
}

class LockTest : public fake::LibraryTest {};

TEST_F(LockTest, SettersStoreValuesUnchanged) {
  EXPECT_EQ(MvKMBrep::setWriteNominalGeom(2), 1u);
  EXPECT_EQ(MvKMBrep::writeNominalGeom(), 2u);
  EXPECT_EQ(MvKMBrep::setKmReleaseCallback(fake::release), 1u);
  EXPECT_EQ(MvKMBrep::pfKmReleaseCB, &fake::release);
  EXPECT_EQ(MvKMBrep::setKmReleaseCallback(nullptr), 1u);
  EXPECT_EQ(MvKMBrep::pfKmReleaseCB, nullptr);
  EXPECT_EQ(MvKMBrep::setKmCopyCallback(fake::copy), 1u);
  EXPECT_EQ(MvKMBrep::pfKmCopyCB, &fake::copy);
}

TEST_F(LockTest, NestsOnOneThreadAndBlocksOthers) {
  ASSERT_EQ(MvKMBrep::staticLock(0xFFFFFFFF), 1u);
  ASSERT_EQ(MvKMBrep::staticLock(0xFFFFFFFF), 1u);
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex->heldDepth(), 2);

  MvKMBrep::setKmReleaseCallback(fake::release);
  std::atomic<bool> removed{false};
  MvAutoPtr<MvKMBrep> other(new MvKMBrep());
  other->appendKmPart(tags({4}), 0);
  std::thread worker([&] {
    other->removeAllParts();  // needs the lock
    removed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(removed.load());

  // The holder can destroy an element, whose destructor locks again.
  MvAutoPtr<MvKMBrep> mine(new MvKMBrep());
  mine = nullptr;

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

TEST_F(LockTest, ThrowingCallbackAndThrowingReportLeaveTheLockFree) {
  MvKMBrep::setKmReleaseCallback(fake::release);
  MvAutoPtr<MvKMBrep> e(new MvKMBrep());
  e->appendKmPart(tags({1, 2}), 0);
  fake::calls().throwOnRelease = true;
  EXPECT_THROW(e->removePart(0), std::runtime_error);
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex->heldDepth(), 0);
  EXPECT_THROW(e->removeAllParts(), std::runtime_error);
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex->heldDepth(), 0);
  e = nullptr;  // the destructor stops the exception
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex->heldDepth(), 0);

  fake::calls().throwOnRelease = false;
  MvKMBrep::setKmReleaseCallback(nullptr);
  MvErrorState::setThrowOnError(true);
  MvAutoPtr<MvKMBrep> f(new MvKMBrep());
  EXPECT_THROW(f->removePart(3), MvError);
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex->heldDepth(), 0);
  MvErrorState::setThrowOnError(false);
}

TEST(LockWithoutInit, EveryLockingOperationReportsBothMessagesAndWorks) {
  fake::reset();
  ASSERT_EQ(MvKMBrep::s_pKorvaniteMutex, nullptr);
  MvKMBrep::setKmReleaseCallback(fake::release);
  MvAutoPtr<MvKMBrep> e(new MvKMBrep());
  e->appendKmPart(tags({3, 4}), 0);
  EXPECT_EQ(e->removePart(0), 1u);
  EXPECT_EQ(fake::reports(), (std::vector<Report>{kLockReport, kUnlockReport}));
  MvErrorState::clear();
  e = nullptr;  // destructor and removeAllParts: two levels
  EXPECT_EQ(fake::reports(), (std::vector<Report>{kLockReport, kLockReport, kUnlockReport, kUnlockReport}));
  ASSERT_EQ(fake::calls().released.size(), 2u);
  EXPECT_EQ(fake::calls().released[1], std::vector<int>{4});

  // Serialising without init still does its checks unlocked.
  MvErrorState::clear();
  MvKMBrep::setKmVersionCallback(versionTwo);
  MvAutoPtr<MvKMBrep> f(new MvKMBrep());
  MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
  EXPECT_EQ(f->serialize(*s), 0u);  // no write callback: refused before locking
  EXPECT_EQ(fake::reports().size(), 1u);
  fake::reset();
}

}  // namespace
