// Graphical-output segments handed to the host's callback.
#include "frustrum_test_util.h"

#include <tuple>

namespace {

using GoArgs = std::tuple<int, int, const int*, int, const double*, int, const int*>;
std::vector<GoArgs> goCalls;

int recordingGo(int a1, int a2, const int* a3, int a4, const double* a5, int a6, const int* a7) {
  goCalls.emplace_back(a1, a2, a3, a4, a5, a6, a7);
  return 7;
}

TEST(GraphicsTest, SegmentsReachTheCallbackUnchanged) {
  const int v1 = 1, v2 = 2, v4 = 4, v6 = 6, ints[] = {10, 11}, more[] = {20};
  const double doubles[] = {0.5};
  const auto segment = [&](auto entryPoint, const int* a2) {
    return frustrum_test::call(entryPoint, &v1, a2, ints, &v4, doubles, &v6, more);
  };
  MvKMBrep::setKmGoCallback(nullptr);
  EXPECT_EQ(segment(mvOutputSegment, &v2), -1011);
  EXPECT_EQ(segment(mvOpenSegment, &v2), 0);
  EXPECT_EQ(segment(mvCloseSegment, &v2), 0);
  goCalls.clear();
  MvKMBrep::setKmGoCallback(recordingGo);
  EXPECT_EQ(segment(mvOutputSegment, &v2), 7);
  EXPECT_EQ(segment(mvOutputSegment, nullptr), MV_FR_UNSPECIFIED);  // without its values: dropped
  MvKMBrep::setKmGoCallback(nullptr);
  // The values, and the very arrays the kernel passed, not copies.
  EXPECT_EQ(goCalls, (std::vector<GoArgs>{{1, 2, ints, 4, doubles, 6, more}}));
}

}  // namespace
