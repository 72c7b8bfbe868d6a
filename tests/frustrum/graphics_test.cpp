// Graphical-output segments handed to the host's callback.
#include "frustrum_test_util.h"

namespace {

struct GoCall {
  int a1, a2;
  const int* a3;
  int a4;
  const double* a5;
  int a6;
  const int* a7;
};
std::vector<GoCall> goCalls;

int recordingGo(int a1, int a2, const int* a3, int a4, const double* a5, int a6, const int* a7) {
  goCalls.push_back({a1, a2, a3, a4, a5, a6, a7});
  return 7;
}

TEST(GraphicsTest, SegmentsReachTheCallbackUnchanged) {
  const int v1 = 1, v2 = 2, v4 = 4, v6 = 6, ints[] = {10, 11}, more[] = {20};
  const double doubles[] = {0.5};
  int ifail = -5;
  MvKMBrep::setKmGoCallback(nullptr);
  mvOutputSegment(&v1, &v2, ints, &v4, doubles, &v6, more, &ifail);
  EXPECT_EQ(ifail, -1011);
  mvOpenSegment(&v1, &v2, ints, &v4, doubles, &v6, more, &ifail);
  EXPECT_EQ(ifail, 0);
  ifail = -5;
  mvCloseSegment(&v1, &v2, ints, &v4, doubles, &v6, more, &ifail);
  EXPECT_EQ(ifail, 0);

  goCalls.clear();
  MvKMBrep::setKmGoCallback(recordingGo);
  mvOutputSegment(&v1, &v2, ints, &v4, doubles, &v6, more, &ifail);
  EXPECT_EQ(ifail, 7);
  // A segment without its values is dropped.
  mvOutputSegment(&v1, nullptr, ints, &v4, doubles, &v6, more, &ifail);
  EXPECT_EQ(ifail, MV_FR_UNSPECIFIED);
  MvKMBrep::setKmGoCallback(nullptr);
  ASSERT_EQ(goCalls.size(), 1u);
  const GoCall& c = goCalls[0];
  EXPECT_TRUE(c.a1 == 1 && c.a2 == 2 && c.a4 == 4 && c.a6 == 6);
  // The very arrays the kernel passed, not copies.
  EXPECT_TRUE(c.a3 == ints && c.a5 == doubles && c.a7 == more);
}

}  // namespace
