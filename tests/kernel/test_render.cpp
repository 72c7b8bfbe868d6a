#include "kernel/kernel_fixture.h"

using namespace ksample;

TEST_F(KernelTest, RenderOutputsOneSegmentPerEdge) {
  const int box = makeBox(1, 2, 3, identityTransform());
  ASSERT_EQ(render(box), kOk);
  const std::vector<fake::Segment>& s = fake::state().segments;
  ASSERT_EQ(s.size(), 14u);
  EXPECT_EQ(s[0].kind, 0);
  EXPECT_EQ(s[0].a1, 0);
  EXPECT_EQ(s[0].a2, box);
  EXPECT_EQ(s[0].a3, std::vector<int>{12});
  // Edge 5 runs along y on the high side of z and the low side of x: it
  // bounds faces +Z (5) and -X (0).
  const fake::Segment& edge = s[1 + 5];
  EXPECT_EQ(edge.a1, 1);
  EXPECT_EQ(edge.a2, box);
  EXPECT_EQ(edge.a3, std::vector<int>{5});
  EXPECT_EQ(edge.a4, 2);
  EXPECT_EQ(edge.a5, (std::vector<double>{0, 0, 3, 0, 2, 3}));
  EXPECT_EQ(edge.a6, 0);
  EXPECT_EQ(edge.a7, (std::vector<int>{5, 0}));
  EXPECT_EQ(s[13].kind, 2);
  EXPECT_EQ(s[13].a3, std::vector<int>{12});

  fake::state().segments.clear();
  const int cylinder = makeCylinder(1, 1, identityTransform());
  ASSERT_EQ(render(cylinder), kOk);
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(s[2].a4, 65);
  EXPECT_EQ(s[2].a6, 1);
  EXPECT_EQ(s[2].a7, (std::vector<int>{0, 1}));

  // A failing output stops the edges but the segment is still closed.
  fake::state().segments.clear();
  fake::state().outputStatusAt = 1;
  EXPECT_EQ(render(box), 7);
  EXPECT_EQ(lastError(), "graphical output failed with status 7");
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(s[3].kind, 2);
  EXPECT_EQ(render(box + 1000), kErrNoSuchBody);
}
