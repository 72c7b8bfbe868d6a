// A running kernel session on an in-memory fake frustrum, and sample bodies.
#ifndef TESTS_KERNEL_KERNEL_FIXTURE_H
#define TESTS_KERNEL_KERNEL_FIXTURE_H

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "ksample/kernel.h"

namespace fake {

// One segment call: kind (0 open, 1 output, 2 close), a1, a2, a3[0], a4, a5, a6, a7.
using Segment = std::tuple<int, int, int, int, int, std::vector<double>, int, std::vector<int>>;

struct State {
  std::map<std::string, std::string> files;  // "key.x_t" / "key.x_b" -> data
  std::string header;                        // of the last open for writing
  std::vector<Segment> segments;
  int failWrite = 0;              // status every write reports
  int outputsBeforeFailure = -1;  // then one output reports 7
  int openStreams = 0;
  std::string current;  // the open stream's file
  std::size_t readPos = 0;
};

State& state();
// Clears the state and returns the frustrum table.
ksample::Frustrum reset();

}  // namespace fake

class KernelTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(ksample::startSession(fake::reset()), ksample::kOk); }
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
