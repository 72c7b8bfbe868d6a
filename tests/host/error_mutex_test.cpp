// Per-thread error reports and the recursive timed mutex.
#include "host/MvErrorState.h"
#include "host/MvMutex.h"
#include "host_test_util.h"

#include <string>
#include <thread>

namespace {
using ErrorMutexTest = host_test::HostTest;
}  // namespace

TEST_F(ErrorMutexTest, ReportsArePerThreadAndCanThrow) {
  MvErrorState::throwStdError("MvKMBrep", "op", "a != NULL", 5);
  MvErrorState::rethrowError();
  host_test::expectLastReport("MvKMBrep", "op", "a != NULL", 5);
  EXPECT_EQ(MvErrorState::rethrowCount(), 1);
  std::size_t otherBefore = 99;
  std::thread other([&] {
    otherBefore = MvErrorState::reports().size();
    MvErrorState::throwStdError("X", "y", "z", 1);
  });
  other.join();
  EXPECT_EQ(otherBefore, 0u);
  EXPECT_EQ(MvErrorState::reports().size(), 1u);

  MvErrorState::clear();
  EXPECT_EQ(MvErrorState::rethrowCount(), 0);
  MvErrorState::setThrowOnError(true);
  try {
    MvErrorState::throwStdError("MvVecBase", "remove", "start<0", 1);
    ADD_FAILURE() << "no MvError raised";
  } catch (const MvError& e) {
    EXPECT_EQ(e.report().code, 1);
    EXPECT_EQ(std::string(e.what()), "MvVecBase::remove: start<0 (code 1)");
  }
  EXPECT_EQ(MvErrorState::reports().size(), 1u);  // recorded before it was thrown
}

TEST_F(ErrorMutexTest, MutexRecursionTimeOutAndOwnership) {
  MvMutex m;
  EXPECT_EQ(m.lock(0), 1u);
  EXPECT_EQ(m.lock(MvMutex::kInfinite), 1u);
  EXPECT_EQ(m.heldDepth(), 2);
  unsigned otherLock = 9, otherUnlock = 9;
  std::thread other([&] {
    otherUnlock = m.unlock();
    otherLock = m.lock(50);
  });
  other.join();
  EXPECT_EQ(otherUnlock + otherLock, 0u);
  EXPECT_EQ(m.heldDepth(), 2);

  EXPECT_EQ(m.unlock() + m.unlock(), 2u);
  EXPECT_EQ(m.unlock(), 0u);
}
