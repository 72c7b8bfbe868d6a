#include <set>
#include <thread>

#include "kernel/kernel_fixture.h"

using namespace ksample;

TEST_F(KernelTest, RenderDrawsEveryEdgeBetweenOpenAndClose) {
  const int box = makeBox(1, 2, 3, identityTransform());
  ASSERT_EQ(render(box), kOk);
  const std::vector<memfrustrum::Segment>& s = memfrustrum::state().segments;
  ASSERT_EQ(s.size(), 14u);
  EXPECT_EQ(s[0], (memfrustrum::Segment{0, 0, box, 12, 0, {0.0}, 0, {0}}));
  // Edge 5 runs along y on the high side of z and the low side of x: it bounds faces +Z (5) and -X (0).
  EXPECT_EQ(s[1 + 5], (memfrustrum::Segment{1, 1, box, 5, 2, {0, 0, 3, 0, 2, 3}, 0, {5, 0}}));
  EXPECT_EQ(s[13], (memfrustrum::Segment{2, 0, box, 12, 0, {0.0}, 0, {0}}));

  // A failing output stops the edges but the segment is still closed.
  memfrustrum::state().segments.clear();
  memfrustrum::state().outputsBeforeFailure = 1;
  EXPECT_EQ(render(box), 7);
  EXPECT_EQ(lastError(), "graphical output failed with status 7");
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(std::get<0>(s[3]), 2);
}

TEST_F(KernelTest, ConcurrentCreationGivesUniqueTags) {
  constexpr int kThreads = 4, kEach = 200;
  std::vector<std::vector<int>> made(kThreads);
  std::vector<std::thread> threads;
  for (std::vector<int>& mine : made) {
    threads.emplace_back([&mine] {
      for (int i = 0; i < kEach; ++i) {
        mine.push_back(makeBox(1, 1, 1, identityTransform()));
        setFaceColor(mine.back(), 0, {1, 0, 0, 1});
        if (i % 3 == 0) deleteBodies(1, &mine.back());
      }
    });
  }
  for (std::thread& t : threads) t.join();
  std::set<int> unique;
  for (const std::vector<int>& v : made) unique.insert(v.begin(), v.end());
  EXPECT_EQ(unique.size(), static_cast<std::size_t>(kThreads * kEach));
  EXPECT_EQ(bodyCount(), kThreads * (kEach - (kEach + 2) / 3));
}
