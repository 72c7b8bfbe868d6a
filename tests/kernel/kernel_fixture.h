// A running kernel session on the fake frustrum, and sample bodies.
#ifndef TESTS_KERNEL_KERNEL_FIXTURE_H
#define TESTS_KERNEL_KERNEL_FIXTURE_H

#include <gtest/gtest.h>

#include <vector>

#include "kernel/fake_frustrum.h"
#include "ksample/kernel.h"

class KernelTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(ksample::startSession(fake::reset()), ksample::kOk); }
  void TearDown() override { ksample::stopSession(); }

  // A rotated, translated box with two face colours and a body colour, a
  // tilted cylinder with a top colour, and a plain sphere.
  static std::vector<int> sampleBodies() {
    using namespace ksample;
    const Transform place = compose(translation(1.5, -2.0, 3.25), rotation(1, 1, 0, 0.7));
    const int box = makeBox(1.0, 2.0, 3.0, place);
    setFaceColour(box, 0, {1.0f, 0.0f, 0.0f, 1.0f});
    setFaceColour(box, 5, {0.1f, 0.2f, 0.3f, 0.5f});
    setBodyColour(box, {0.0f, 1.0f, 0.0f, 1.0f});
    const int cylinder = makeCylinder(0.5, 4.0, rotation(0, 1, 0, 1.1));
    setFaceColour(cylinder, 1, {0.25f, 0.5f, 0.75f, 1.0f});
    const int sphere = makeSphere(2.0, translation(10.0, 0.0, -1.0));
    return {box, cylinder, sphere};
  }
};

#endif
