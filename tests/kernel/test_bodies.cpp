#include <cmath>
#include <limits>
#include <set>
#include <thread>

#include "kernel/kernel_fixture.h"

using namespace ksample;

TEST(KernelSession, StartStopAndPreconditions) {
  Frustrum incomplete = fake::reset();
  incomplete.outputSegment = nullptr;
  EXPECT_EQ(startSession(incomplete), kErrInvalidArgument);
  EXPECT_EQ(lastError(), "frustrum table is incomplete");
  EXPECT_EQ(makeBox(1, 1, 1, identityTransform()), 0);
  EXPECT_EQ(lastError(), "no kernel session is running");
  EXPECT_EQ(stopSession(), kErrNotStarted);

  ASSERT_EQ(startSession(fake::reset()), kOk);
  EXPECT_EQ(startSession(fake::reset()), kErrAlreadyStarted);
  EXPECT_EQ(lastError(), "a kernel session is already running");
  const int first = makeSphere(1, identityTransform());
  EXPECT_GT(first, 0);
  EXPECT_EQ(lastError(), "");
  EXPECT_EQ(stopSession(), kOk);
  EXPECT_FALSE(exists(first));
  EXPECT_EQ(bodyCount(), 0);

  // Tags are never reused, not even across sessions.
  ASSERT_EQ(startSession(fake::reset()), kOk);
  EXPECT_GT(makeSphere(1, identityTransform()), first);
  EXPECT_EQ(stopSession(), kOk);
  int major = 0, minor = 0;
  EXPECT_EQ(version(major, minor), kOk);
  EXPECT_EQ(major * 10 + minor, 32);
}

TEST_F(KernelTest, PrimitivesRejectInvalidSizesAndTransforms) {
  const double bad[] = {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity(), 2e9};
  for (double d : bad) {
    EXPECT_EQ(makeBox(1, d, 1, identityTransform()), 0);
    EXPECT_EQ(lastError(), "invalid body size");
    EXPECT_EQ(makeCylinder(d, 1, identityTransform()), 0);
    EXPECT_EQ(makeSphere(d, identityTransform()), 0);
  }
  Transform scaled = identityTransform();
  scaled.m[0][0] = 2.0;
  EXPECT_EQ(makeSphere(1, scaled), 0);
  EXPECT_EQ(lastError(), "invalid transform");
  Transform mirrored = identityTransform();
  mirrored.m[2][2] = -1.0;
  EXPECT_EQ(makeBox(1, 1, 1, mirrored), 0);
  EXPECT_EQ(bodyCount(), 0);

  const int box = makeBox(1, 2, 3, identityTransform());
  const int cylinder = makeCylinder(1, 2, identityTransform());
  const int sphere = makeSphere(1, identityTransform());
  EXPECT_TRUE(box > 0 && cylinder > box && sphere > cylinder);
  EXPECT_EQ(faceCount(box) * 100 + edgeCount(box), 612);
  EXPECT_EQ(faceCount(cylinder) * 100 + edgeCount(cylinder), 302);
  EXPECT_EQ(faceCount(sphere) * 100 + edgeCount(sphere), 100);
  EXPECT_EQ(faceCount(999999), -1);
  EXPECT_EQ(lastError(), "body 999999 does not exist");
}

TEST_F(KernelTest, ColoursCopiesAndDeletion) {
  const int box = makeBox(1, 1, 1, identityTransform());
  Rgba c{};
  EXPECT_FALSE(bodyColour(box, c));
  EXPECT_EQ(setBodyColour(box, {0.5f, 0.5f, 0.5f, 1.0f}), kOk);
  EXPECT_TRUE(bodyColour(box, c));
  EXPECT_EQ(c, (Rgba{0.5f, 0.5f, 0.5f, 1.0f}));
  EXPECT_EQ(setFaceColour(box, 6, {1, 1, 1, 1}), kErrInvalidArgument);
  EXPECT_EQ(lastError(), "face index 6 is out of range for body " + std::to_string(box));
  EXPECT_EQ(setFaceColour(box, 0, {2, 0, 0, 1}), kErrInvalidArgument);
  EXPECT_EQ(lastError(), "invalid colour");
  EXPECT_EQ(setFaceColour(box + 1000, 0, {1, 0, 0, 1}), kErrNoSuchBody);

  int copy = 0;
  ASSERT_EQ(copyBody(box, copy), kOk);
  EXPECT_NE(copy, box);
  EXPECT_TRUE(sameBody(box, copy));
  EXPECT_EQ(setFaceColour(copy, 3, {0, 0, 1, 1}), kOk);
  EXPECT_FALSE(sameBody(box, copy));
  // Removing a colour with any negative alpha restores equality.
  EXPECT_EQ(setFaceColour(copy, 3, {0.3f, 0.3f, 0.3f, -2.0f}), kOk);
  EXPECT_TRUE(sameBody(box, copy));
  EXPECT_EQ(clearBodyColour(copy), kOk);
  EXPECT_FALSE(bodyColour(copy, c));
  EXPECT_FALSE(sameBody(box, copy));

  const int list[] = {box, 424242, copy};
  EXPECT_EQ(deleteBodies(3, list), kErrNoSuchBody);
  EXPECT_EQ(lastError(), "body 424242 does not exist");
  EXPECT_FALSE(exists(box));
  EXPECT_FALSE(exists(copy));
  EXPECT_EQ(deleteBodies(0, nullptr), kOk);
  EXPECT_EQ(deleteBodies(-1, list), kErrInvalidArgument);
  EXPECT_EQ(copyBody(box, copy), kErrNoSuchBody);
  EXPECT_EQ(copy, 0);
}

TEST_F(KernelTest, ConcurrentCreationGivesUniqueTags) {
  constexpr int kThreads = 4, kEach = 200;
  std::vector<std::vector<int>> made(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &made] {
      for (int i = 0; i < kEach; ++i) {
        const int tag =
            i % 2 ? makeSphere(1, identityTransform()) : makeBox(1, 1, 1, identityTransform());
        made[static_cast<std::size_t>(t)].push_back(tag);
        setFaceColour(tag, 0, {1, 0, 0, 1});
        if (i % 3 == 0) deleteBodies(1, &tag);
      }
    });
  }
  for (auto& th : threads) th.join();
  std::set<int> unique;
  for (const auto& v : made) unique.insert(v.begin(), v.end());
  EXPECT_EQ(unique.size(), static_cast<std::size_t>(kThreads * kEach));
  EXPECT_EQ(unique.count(0), 0u);
  EXPECT_EQ(bodyCount(), kThreads * (kEach - (kEach + 2) / 3));
}
