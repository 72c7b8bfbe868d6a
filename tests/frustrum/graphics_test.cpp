// Graphical-output segments handed to the host's callback.
#include "frustrum_test_util.h"

namespace frustrum_test {
namespace {

struct GoCall {
  int a1, a2, a4, a6;
  const int* a3;
  const double* a5;
  const int* a7;
};
std::vector<GoCall> goCalls;

int recordingGo(int a1, int a2, const int* a3, int a4, const double* a5, int a6, const int* a7) {
  goCalls.push_back({a1, a2, a4, a6, a3, a5, a7});
  return 7;
}

TEST(GraphicsTest, SegmentsReachTheCallbackUnchanged) {
  const int v1 = 1, v2 = 2, v4 = 4, v6 = 6;
  const int ints[] = {10, 11};
  const double doubles[] = {0.5};
  const int more[] = {20};
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
  ASSERT_EQ(goCalls.size(), 1u);
  EXPECT_EQ(goCalls[0].a1, 1);
  EXPECT_EQ(goCalls[0].a2, 2);
  EXPECT_EQ(goCalls[0].a4, 4);
  EXPECT_EQ(goCalls[0].a6, 6);
  EXPECT_EQ(goCalls[0].a3, ints);
  EXPECT_EQ(goCalls[0].a5, doubles);
  EXPECT_EQ(goCalls[0].a7, more);

  // A segment without its values is dropped.
  mvOutputSegment(&v1, nullptr, ints, &v4, doubles, &v6, more, &ifail);
  EXPECT_EQ(ifail, MV_FR_UNSPECIFIED);
  EXPECT_EQ(goCalls.size(), 1u);
  MvKMBrep::setKmGoCallback(nullptr);
}

}  // namespace
}  // namespace frustrum_test
