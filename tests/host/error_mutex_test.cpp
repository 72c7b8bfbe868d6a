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
  // Another thread starts with no reports, and its own stay there.
  std::thread([] {
    EXPECT_TRUE(MvErrorState::reports().empty());
    MvErrorState::throwStdError("X", "y", "z", 1);
  }).join();
  EXPECT_EQ(MvErrorState::reports().size(), 1u);

  MvErrorState::clear();
  EXPECT_EQ(MvErrorState::rethrowCount(), 0);
  MvErrorState::setThrowOnError(true);
  try {
    MvErrorState::throwStdError("MvVecBase", "remove", "start<0", 1);
    ADD_FAILURE() << "no MvError raised";
  } catch (const MvError& e) {
    EXPECT_EQ(std::string(e.what()), "MvVecBase::remove: start<0 (code 1)");
  }
  EXPECT_EQ(MvErrorState::reports().size(), 1u);  // recorded before it was thrown
}

TEST_F(ErrorMutexTest, MutexRecursionTimeOutAndOwnership) {
  MvMutex m;
  EXPECT_EQ(m.lock(0), 1u);
  EXPECT_EQ(m.lock(MvMutex::kInfinite), 1u);
  EXPECT_EQ(m.heldDepth(), 2);
  // Another thread can neither unlock it nor take it within 50 ms.
  std::thread([&m] {
    EXPECT_EQ(m.unlock(), 0u);
    EXPECT_EQ(m.lock(50), 0u);
  }).join();
  EXPECT_EQ(m.heldDepth(), 2);
  EXPECT_EQ(m.unlock(), 1u);
  EXPECT_EQ(m.unlock(), 1u);
  EXPECT_EQ(m.unlock(), 0u);
}
