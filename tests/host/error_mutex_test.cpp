// Per-thread error reports and the recursive timed mutex.
#include "host/MvErrorState.h"
#include "host/MvMutex.h"
#include "host_test_util.h"

#include <atomic>
#include <string>
#include <thread>

using host_test::expectLastReport;
using host_test::HostTest;

namespace {
class ErrorMutexTest : public HostTest {};
}  // namespace

TEST_F(ErrorMutexTest, ReportsArePerThread) {
  MvErrorState::throwStdError("MvKMBrep", "op", "a != NULL", 5);
  MvErrorState::rethrowError();
  expectLastReport("MvKMBrep", "op", "a != NULL", 5);
  EXPECT_EQ(MvErrorState::rethrowCount(), 1);

  std::size_t otherBefore = 99;
  std::thread other([&] {
    otherBefore = MvErrorState::reports().size();
    MvErrorState::throwStdError("X", "y", "z", 1);
  });
  other.join();
  EXPECT_EQ(otherBefore, 0u);
  ASSERT_EQ(MvErrorState::reports().size(), 1u);
  EXPECT_EQ(MvErrorState::reports()[0].className, "MvKMBrep");

  MvErrorState::clear();
  EXPECT_TRUE(MvErrorState::reports().empty());
  EXPECT_EQ(MvErrorState::rethrowCount(), 0);
}

TEST_F(ErrorMutexTest, ThrowOnErrorRaisesAfterRecording) {
  MvErrorState::setThrowOnError(true);
  try {
    MvErrorState::throwStdError("MvVecBase", "remove", "start<0", 1);
    FAIL() << "no MvError raised";
  } catch (const MvError& e) {
    EXPECT_EQ(e.report().className, "MvVecBase");
    EXPECT_EQ(e.report().code, 1);
    EXPECT_EQ(std::string(e.what()), "MvVecBase::remove: start<0 (code 1)");
  }
  EXPECT_EQ(MvErrorState::reports().size(), 1u);
  MvErrorState::setThrowOnError(false);
  EXPECT_NO_THROW(MvErrorState::throwStdError("a", "b", "c", 5));
}

TEST_F(ErrorMutexTest, MutexRecursionAndOwnership) {
  MvMutex m;
  EXPECT_EQ(m.lock(0), 1u);
  EXPECT_EQ(m.lock(MvMutex::kInfinite), 1u);
  EXPECT_EQ(m.heldDepth(), 2);

  unsigned otherLock = 9;
  unsigned otherUnlock = 9;
  int otherDepth = 9;
  std::thread other([&] {
    otherUnlock = m.unlock();
    otherLock = m.lock(50);
    otherDepth = m.heldDepth();
  });
  other.join();
  EXPECT_EQ(otherUnlock, 0u);
  EXPECT_EQ(otherLock, 0u);
  EXPECT_EQ(otherDepth, 0);

  EXPECT_EQ(m.unlock(), 1u);
  EXPECT_EQ(m.heldDepth(), 1);
  EXPECT_EQ(m.unlock(), 1u);
  EXPECT_EQ(m.unlock(), 0u);
}

TEST_F(ErrorMutexTest, InfiniteLockWaitsUntilFreed) {
  MvMutex m;
  ASSERT_EQ(m.lock(0), 1u);
  std::atomic<bool> released{false};
  std::atomic<bool> sawReleased{false};
  std::atomic<unsigned> got{0};
  std::thread waiter([&] {
    got = m.lock(MvMutex::kInfinite);
    sawReleased = released.load();
    m.unlock();
  });
  released = true;
  EXPECT_EQ(m.unlock(), 1u);
  waiter.join();
  EXPECT_EQ(got.load(), 1u);
  EXPECT_TRUE(sawReleased.load());
  EXPECT_EQ(m.lock(0), 1u);
  EXPECT_EQ(m.unlock(), 1u);
}
