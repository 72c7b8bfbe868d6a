// Helpers shared by the host layer's tests.
#ifndef MV_TESTS_HOST_TEST_UTIL_H
#define MV_TESTS_HOST_TEST_UTIL_H

#include "host/MvErrorState.h"
#include "host/MvHeap.h"
#include "host/MvPlatform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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
  const auto& reports = MvErrorState::reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().className, className);
  EXPECT_EQ(reports.back().operation, operation);
  EXPECT_EQ(reports.back().condition, condition);
  EXPECT_EQ(reports.back().code, code);
}

// A fresh directory for the running test under $MV_TEST_TMP (or /tmp).
inline std::filesystem::path testDir() {
  const char* base = std::getenv("MV_TEST_TMP");
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::filesystem::path dir = std::filesystem::path(base && *base ? base : "/tmp") /
                              (std::string("host_") + info->test_suite_name() + "_" + info->name());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace host_test

#endif
