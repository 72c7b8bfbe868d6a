// A running kernel session on the in-memory frustrum, and sample bodies.
#ifndef TESTS_KERNEL_KERNEL_FIXTURE_H
#define TESTS_KERNEL_KERNEL_FIXTURE_H

#include <gtest/gtest.h>

#include <vector>

#include "ksample/kernel.h"
#include "support/memory_frustrum.h"

class KernelTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(ksample::startSession(memfrustrum::reset()), ksample::kOk); }
  void TearDown() override { ksample::stopSession(); }

  // A turned and moved box with two face colours and a body colour, a tilted cylinder with a top colour, a sphere.
  static std::vector<int> sampleBodies() {
    using namespace ksample;
    const int box = makeBox(1.0, 2.0, 3.0, compose(translation(1.5, -2.0, 3.25), rotation(1, 1, 0, 0.7)));
    setFaceColor(box, 0, {1.0f, 0.0f, 0.0f, 1.0f});
    setFaceColor(box, 5, {0.1f, 0.2f, 0.3f, 0.5f});
    setBodyColor(box, {0.0f, 1.0f, 0.0f, 1.0f});
    const int cylinder = makeCylinder(0.5, 4.0, rotation(0, 1, 0, 1.1));
    setFaceColor(cylinder, 1, {0.25f, 0.5f, 0.75f, 1.0f});
    return {box, cylinder, makeSphere(2.0, translation(10.0, 0.0, -1.0))};
  }
};

#endif
