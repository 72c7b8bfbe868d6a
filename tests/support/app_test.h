// A host application per test, made from the test's options: every test must leave no lock taken, no host or
// frustrum stream open, no host memory and no kernel part behind.
#ifndef MV_TESTS_SUPPORT_APP_TEST_H
#define MV_TESTS_SUPPORT_APP_TEST_H

#include "support/elements.h"

#include <gtest/gtest.h>

#include <memory>

namespace testfiles {

// App is made from Options and answers ok() and error(); partCount counts the kernel's parts.
template <class App, class Options, int (*partCount)()>
class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app = std::make_unique<App>(options);
    ASSERT_TRUE(app->ok()) << app->error();
    MvErrorState::clear();
    memoryAtStart = MvPlatform::instance()->memoryInUse();
  }
  void TearDown() override {
    MvHeap::disarm();
    MvErrorState::setThrowOnError(false);
    EXPECT_TRUE(libraryIdle());
    EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memoryAtStart) << "host memory left behind";
    EXPECT_EQ(partCount(), 0) << "parts left behind";
    app.reset();
  }
  Options options;
  std::unique_ptr<App> app;
  long long memoryAtStart = 0;
};

}  // namespace testfiles

#endif
