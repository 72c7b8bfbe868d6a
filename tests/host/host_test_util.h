// Helpers shared by the host layer's tests.
#ifndef MV_TESTS_HOST_TEST_UTIL_H
#define MV_TESTS_HOST_TEST_UTIL_H

#include "host/MvErrorState.h"
#include "host/MvHeap.h"
#include "host/MvPlatform.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace host_test {

constexpr const char* kAllocFailed = "Allocation failed: p = new MvChar[cNewAllocBytes]";

// Starts and ends every test with no reports, no armed failure seam and no throwing.
class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    MvErrorState::clear();
    MvErrorState::setThrowOnError(false);
    MvHeap::disarm();
  }
};

inline long long memoryInUse() { return MvPlatform::instance()->memoryInUse(); }

// Checks that the last report of this thread is exactly the given one.
inline void expectLastReport(const char* className, const char* operation, const char* condition, int code) {
  const auto& r = MvErrorState::reports();
  ASSERT_FALSE(r.empty());
  EXPECT_EQ(std::make_tuple(r.back().className, r.back().operation, r.back().condition, r.back().code),
            std::make_tuple(std::string(className), std::string(operation), std::string(condition), code));
}

// Checks that an operation gave 0 and left exactly this report last.
inline void expectRefused(unsigned result, const char* className, const char* operation, const char* condition,
                          int code) {
  EXPECT_EQ(result, 0u);
  expectLastReport(className, operation, condition, code);
}

}  // namespace host_test

#endif
