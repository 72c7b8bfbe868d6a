// Eight threads at once, each with its own elements and streams, through memory streams, host files, kernel files,
// copies, tessellation and holders. The suite also runs under ThreadSanitizer (scripts/ci-tsan.sh).
#include "reliability/reliability_support.h"

#include <atomic>
#include <cstdlib>
#include <thread>

namespace rel {
namespace {

// A host file round trip, then the parts transmitted into a kernel file and loaded into a holder, copied, unloaded.
void throughFiles(const MvKMBrep& e, const std::string& base) {
  const std::vector<int> parts = partsOf(e);
  std::vector<MvAutoPtr<MvKMBrep>> back;
  ASSERT_TRUE(throughHostFile(base + ".mv61", {&e}, back)) << firstReport();
  ASSERT_EQ(back.size(), 1u);
  EXPECT_TRUE(sameBodies(parts, partsOf(*back[0])));

  const int keyLength = static_cast<int>(base.size());
  const int count = static_cast<int>(parts.size());
  ASSERT_EQ(ksample::transmit(count, parts.data(), base.c_str(), keyLength, ksample::Format::Binary), ksample::kOk);
  int received = 0;
  int* tags = nullptr;
  ASSERT_EQ(ksample::receive(base.c_str(), keyLength, ksample::Format::Binary, received, tags), ksample::kOk);
  std::remove((base + ".x_b").c_str());
  MvAutoPtr<MvKMBrepOnFly> holder(new MvKMBrepOnFly());
  holder->appendKmEntity(tagVec(std::vector<int>(tags, tags + received)), 1);
  ksample::freeTags(tags);
  MvAutoPtr<MvKMBrepOnFly> copy(new MvKMBrepOnFly(*holder));
  const MvVec<int> copied = copy->kmEntity();
  EXPECT_TRUE(sameBodies(parts, std::vector<int>(copied.begin(), copied.end())));
  EXPECT_EQ(copy->unloadKmEntity(), 1u);
}

void work(int index, int rounds) {
  MvAutoPtr<MvKMBrep> e = elementOf(ksamplehost::buildDemoModel(2 + index % 3));
  ASSERT_TRUE(e);
  for (int i = 0; i < rounds; ++i) {
    MvErrorState::clear();
    expectWorks(*e);
    if (i % 10 == index % 10) {
      EXPECT_TRUE(sameBodies(partsOf(*e), partsOf(*MvAutoPtr<MvKMBrep>(new MvKMBrep(*e)))));
    }
    if (i % 25 == index % 25) {
      MvKMBrep::KmBrepTessParams p = params();
      MvAutoPtrVec<MvTriStripSet> merged;
      MvAutoPtrVec<MvPolylineSet> edges;
      EXPECT_TRUE(e->getMvColorShapeList(p, merged));
      EXPECT_TRUE(merged.length() > 0);
      EXPECT_EQ(e->getMvEdgeShape(p = params(), edges), 1u);
    }
    if (i % 40 == index % 40) throughFiles(*e, tempPath("stress_" + std::to_string(index)));
  }
}

using ThreadStress = AppTest;

TEST_F(ThreadStress, EightThreadsRoundTripAtOnce) {
  // Round trips per thread; MV_STRESS_ROUND_TRIPS sets another number.
  const char* text = std::getenv("MV_STRESS_ROUND_TRIPS");
  const int rounds = text && std::atoi(text) > 0 ? std::atoi(text) : 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) threads.emplace_back(work, t, rounds);
  for (std::thread& t : threads) t.join();
  noteFigure("memory-stream round trips, 8 threads", 8LL * rounds);
}

// Kernel calls made while a thread ends, from the destructor of a thread_local made before the kernel's error text
// was first set, still record and read their text.
std::atomic<int> gCallsAtThreadExit{0};

struct CallsKernelAtThreadExit {
  ~CallsKernelAtThreadExit() {
    int copy = 0;
    if (ksample::copyBody(-7, copy) == ksample::kErrNoSuchBody && ksample::lastError() == "body -7 does not exist")
      ++gCallsAtThreadExit;
  }
};

TEST_F(ThreadStress, KernelCallsAtThreadExitAreSafe) {
  std::thread([] {
    thread_local CallsKernelAtThreadExit before;
    (void)&before;
    int copy = 0;
    // A failure with a text long enough to live on the heap.
    EXPECT_EQ(ksample::copyBody(-123456789, copy), ksample::kErrNoSuchBody);
    EXPECT_FALSE(ksample::lastError().empty());
  }).join();
  EXPECT_EQ(gCallsAtThreadExit.load(), 1);
}

}  // namespace
}  // namespace rel
