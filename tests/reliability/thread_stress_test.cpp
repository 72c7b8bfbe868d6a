// Eight threads at once, each with its own elements and streams: round trips
// through memory streams, host files and kernel files, copies, tessellation
// and holder loads. Every part must come back equal, and the library, the
// kernel and the memory account must end as they started. The suite also
// runs under ThreadSanitizer (scripts/ci-tsan.sh).
#include "reliability/reliability_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using rel::elementOf;
using rel::partsOf;
using rel::sameBodies;

constexpr int kThreads = 8;

// Round trips per thread; MV_STRESS_ROUND_TRIPS sets another number.
int roundTrips() {
  const char* text = std::getenv("MV_STRESS_ROUND_TRIPS");
  const int n = text ? std::atoi(text) : 0;
  return n > 0 ? n : 200;
}

struct ThreadResult {
  int roundTrips = 0;
  int failures = 0;
  std::string firstFailure;
  void fail(const std::string& what) {
    if (failures++ == 0) firstFailure = what + ": " + rel::firstReport() + " / kernel: " + ksample::lastError();
  }
};

bool memoryRoundTrip(const MvKMBrep& e, ThreadResult& r) {
  MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
  MvAutoPtr<MvKMBrep> back(new MvKMBrep());
  if (!e.serialize(*s) || !s->seek(0) || !back->deserialize(*s)) {
    r.fail("memory round trip");
    return false;
  }
  if (!sameBodies(partsOf(e), partsOf(*back))) r.fail("memory round trip gave other bodies");
  return true;
}

void hostFileRoundTrip(const MvKMBrep& e, const std::string& path, ThreadResult& r) {
  {
    MvAutoPtr<MvFileStream> out(MvFileStream::create(path.c_str()));
    if (!out || !out->writeObject(&e) || !out->close()) return r.fail("host file write");
  }
  MvAutoPtr<MvFileStream> in(MvFileStream::open(path.c_str()));
  MvAutoPtr<MvBase> obj;
  if (!in || !in->readObject(obj) || !obj) return r.fail("host file read");
  if (!sameBodies(partsOf(e), partsOf(*static_cast<MvKMBrep*>(obj.get())))) r.fail("host file gave other bodies");
  std::remove(path.c_str());
}

// Transmits the parts into a kernel file and loads them into a holder,
// which is copied and unloaded.
void holderLoad(const MvKMBrep& e, const std::string& key, ThreadResult& r) {
  const std::vector<int> parts = partsOf(e);
  const int keyLength = static_cast<int>(key.size());
  if (ksample::transmit(static_cast<int>(parts.size()), parts.data(), key.c_str(), keyLength,
                        ksample::Format::Binary) != ksample::kOk)
    return r.fail("kernel file write");
  int count = 0;
  int* tags = nullptr;
  if (ksample::receive(key.c_str(), keyLength, ksample::Format::Binary, count, tags) != ksample::kOk)
    return r.fail("kernel file read");
  std::remove((key + ".x_b").c_str());
  const std::vector<int> received(tags, tags + count);
  ksample::freeTags(tags);
  if (!sameBodies(parts, received)) r.fail("kernel file gave other bodies");
  MvAutoPtr<MvKMBrepOnFly> holder(new MvKMBrepOnFly());
  holder->appendKmEntity(rel::tagVec(received), 1);
  MvAutoPtr<MvKMBrepOnFly> copy(new MvKMBrepOnFly(*holder));
  const MvVec<int> copied = copy->kmEntity();
  if (!sameBodies(parts, std::vector<int>(copied.begin(), copied.end()))) r.fail("holder copy");
  if (!copy->unloadKmEntity()) r.fail("holder unload");
}

void tessellate(const MvKMBrep& e, ThreadResult& r) {
  MvKMBrep::KmBrepTessParams p{};
  MvKMBrep::initializeTessParam(p, 0);
  MvAutoPtrVec<MvTriStripSet> merged;
  MvAutoPtrVec<MvPolylineSet> edges;
  if (!e.getMvColorShapeList(p, merged) || merged.length() == 0) r.fail("colour shapes");
  MvKMBrep::initializeTessParam(p, 0);
  if (!e.getMvEdgeShape(p, edges)) r.fail("edge shapes");
}

void work(int index, int rounds, ThreadResult& r) {
  const std::string base = rel::tempPath("stress_" + std::to_string(index));
  MvAutoPtr<MvKMBrep> e = elementOf(ksamplehost::buildDemoModel(2 + index % 3));
  if (!e || e->isEmpty()) return r.fail("demo model");
  for (int i = 0; i < rounds; ++i) {
    MvErrorState::clear();
    if (memoryRoundTrip(*e, r)) ++r.roundTrips;
    if (i % 10 == index % 10) {
      MvAutoPtr<MvKMBrep> copy(new MvKMBrep(*e));
      if (!sameBodies(partsOf(*e), partsOf(*copy))) r.fail("copy");
    }
    if (i % 25 == index % 25) tessellate(*e, r);
    if (i % 40 == index % 40) {
      hostFileRoundTrip(*e, base + ".mv61", r);
      holderLoad(*e, base, r);
    }
  }
}

class ThreadStress : public rel::AppTest {};

TEST_F(ThreadStress, EightThreadsRoundTripAtOnce) {
  const int rounds = roundTrips();
  std::vector<ThreadResult> results(kThreads);
  {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t, rounds, std::ref(results[t]));
    for (std::thread& t : threads) t.join();
  }
  int total = 0;
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(results[t].failures, 0) << "thread " << t << ": " << results[t].firstFailure;
    EXPECT_EQ(results[t].roundTrips, rounds) << "thread " << t;
    total += results[t].roundTrips;
  }
  rel::noteFigure("threads", kThreads);
  rel::noteFigure("round trips per thread", rounds);
  rel::noteFigure("round trips in all", total);
  EXPECT_EQ(ksample::bodyCount(), 0);
  EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memoryAtStart);
  EXPECT_TRUE(rel::libraryIdle());
}

// Kernel calls made while a thread ends, after the kernel's per-thread
// error text is gone (a thread_local made before it is destroyed after it),
// record nothing and do not touch the destroyed text.
std::atomic<int> gCallsAtThreadExit{0};

struct CallsKernelAtThreadExit {
  ~CallsKernelAtThreadExit() {
    int copy = 0;
    if (ksample::copyBody(-7, copy) == ksample::kErrNoSuchBody && ksample::lastError().empty()) ++gCallsAtThreadExit;
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
