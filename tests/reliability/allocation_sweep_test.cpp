// Every allocation of representative operations is made to fail in turn, with failures reported and with reports
// thrown: the operation succeeds or reports the failure, leaves nothing behind, and the element still works.
#include "reliability/reliability_support.h"

#include <functional>
#include <string>

namespace rel {
namespace {

// One run of an operation with allocation n failing.
struct Trial {
  long long n;
  bool throwing;
  bool injected = false, threw = false, reported = false;
  bool newGaveNull = false;  // set by operations whose own `new` gave null
  unsigned result = 0;
  std::string why{};

  // Runs op under the seam; a thrown MvError counts as a failure. An operation that got over the failure must have
  // reported it (code 20); one that failed reported something (maybe a callback's own allocation failure), or the
  // kernel met it as a frustrum status: no stream record (10) or no line buffer (99).
  bool seam(const std::function<unsigned()>& op) {
    MvErrorState::clear();
    MvErrorState::setThrowOnError(throwing);
    MvHeap::failAt(n);
    try {
      result = op();
    } catch (const MvError&) {
      threw = true;
    }
    injected = MvHeap::injectedFailures() > 0;
    MvHeap::disarm();
    MvErrorState::setThrowOnError(false);
    const std::string kernel = ksample::lastError();
    for (const MvErrorReport& r : MvErrorState::reports()) reported |= result == 0 || r.code == MvErrorState::kAllocation;
    reported |= result == 0 && (kernel.find("status 10") != kernel.npos || kernel.find("status 99") != kernel.npos);
    why = "result " + std::to_string(result) + ", " + firstReport() + ", kernel: " + kernel;
    return result == 1;
  }
};

class AllocationSweep : public AppTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    model = ksamplehost::buildDemoModel(3);
    own = ksamplehost::buildDemoModel(1);
    ASSERT_EQ(model.size() + own.size(), 4u);
    source = elementOf(model);
    MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
    ASSERT_EQ(source->serialize(*s), 1u);
    record.assign(s->data(), static_cast<size_t>(s->size()));
    bodies = ksample::bodyCount();
    memoryWithSource = MvPlatform::instance()->memoryInUse();
  }
  void TearDown() override {
    source = nullptr;
    ksample::deleteBodies(1, own.data());
    AppTest::TearDown();
  }

  // Fails allocation 0, then 1, 2, ... until a run ends before its failing one; returns the number of sites swept.
  long long sweep(const std::function<void(Trial&)>& op) {
    for (long long n = 0; n < 20000 && !HasFatalFailure(); ++n) {
      SCOPED_TRACE("allocation " + std::to_string(n));
      Trial t{n, GetParam()};
      op(t);
      EXPECT_TRUE(libraryIdle());
      EXPECT_EQ(partsOf(*source), model);
      EXPECT_EQ(ksample::bodyCount(), bodies);
      EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memoryWithSource);
      EXPECT_TRUE(t.injected ? t.reported || t.newGaveNull : t.result == 1) << t.why;
      if (!t.injected) return n;
    }
    ADD_FAILURE() << "the sweep did not end";
    return 0;
  }

  // Reads the record, with or without the split callback, into an element whose foreign own part survives the trials.
  void deserialize(Trial& t, bool split) {
    ksamplehost::Options options;
    options.registerSplit = split;
    ksamplehost::registerCallbacks(options);
    MvAutoPtr<MvKMBrep> target(new MvKMBrep());
    target->appendKmPart(tagVec(own), 1);
    MvAutoPtr<MvMemoryStream> in(new MvMemoryStream(record.data(), static_cast<int>(record.size())));
    const bool ok = t.seam([&] { return target->deserialize(*in); });
    ksamplehost::registerCallbacks(ksamplehost::Options());
    std::vector<int> parts = partsOf(*target);
    ASSERT_FALSE(parts.empty());
    EXPECT_EQ(parts[0], own[0]) << "the element's own part stays first";
    parts.erase(parts.begin());
    EXPECT_TRUE(ok ? sameBodies(model, parts) : parts.empty()) << "a failed read keeps the parts the element had";
    expectWorks(*target);
  }

  // A host file with the source and an empty element, written and read back.
  void hostFile(Trial& t) {
    const std::string path = tempPath("sweep_host_file") + ".mv61";
    std::vector<MvAutoPtr<MvKMBrep>> back;
    MvAutoPtr<MvKMBrep> empty(new MvKMBrep());
    const bool ok = t.seam([&]() -> unsigned { return throughHostFile(path, {source, empty}, back); });
    std::remove(path.c_str());
    for (const MvAutoPtr<MvKMBrep>& e : back) expectWorks(*e);
    if (!ok) return;
    ASSERT_EQ(back.size(), 2u);
    EXPECT_TRUE(sameBodies(model, partsOf(*back[0])));
    EXPECT_EQ(back[1]->isEmpty(), 1u);
  }

  // A kernel file received into a holder (two cleaned entities, one uncleaned), which is copied and unloaded.
  void holder(Trial& t, const std::string& key) {
    int ifail = -1;  // a fresh frustrum, so that every trial allocates the line buffer
    stopFileFrustrum(&ifail);
    startFileFrustrum(&ifail);
    MvAutoPtr<MvKMBrepOnFly> holder(new MvKMBrepOnFly());
    MvAutoPtr<MvKMBrepOnFly> copy;
    int count = 0;
    int* tags = nullptr;
    const auto giveBack = [&](int from) {  // entities not appended stay the caller's
      ksample::deleteBodies(count - from, tags + from);
      return 0u;
    };
    const bool ok = t.seam([&]() -> unsigned {
      if (ksample::receive(key.c_str(), static_cast<int>(key.size()), ksample::Format::Text, count, tags) != 0)
        return 0;
      // A failed append is reported and still answered with 1.
      MvErrorState::clear();
      holder->appendKmEntity(tagVec(std::vector<int>(tags, tags + 2)), 1);
      if (!MvErrorState::reports().empty()) return giveBack(0);
      holder->appendKmEntity(tagVec(std::vector<int>(tags + 2, tags + count)), 0);
      if (!MvErrorState::reports().empty()) return giveBack(2);
      copy = new MvKMBrepOnFly(*holder);
      return copy ? copy->unloadKmEntity() : 0;
    });
    const int cleaned = holder->kmEntity().length();
    if (t.threw && cleaned == 0) giveBack(0);
    if (t.threw && cleaned == 2 && holder->kmUnCleanedEntity().length() == 0) giveBack(2);
    ksample::freeTags(tags);
    t.newGaveNull = !copy;
    if (!ok) return;
    const MvVec<int> cleanedTags = holder->kmEntity();
    std::vector<int> held(cleanedTags.begin(), cleanedTags.end());
    held.push_back(holder->kmUnCleanedEntity()[0]);
    EXPECT_TRUE(sameBodies(model, held));
    EXPECT_EQ(copy->kmEntity().length() + copy->kmUnCleanedEntity().length(), 0);
  }

  // A copy made by makeCopy equals the source's first parts (copyAppendKmPart keeps those made before a failure).
  std::function<void(Trial&)> copies(const std::function<unsigned(MvAutoPtr<MvKMBrep>&)>& makeCopy) {
    return [this, makeCopy](Trial& t) {
      MvAutoPtr<MvKMBrep> out(new MvKMBrep());
      t.seam([&] { return makeCopy(out); });
      t.newGaveNull = !out;
      if (!out) return;
      const std::vector<int> parts = partsOf(*out);
      EXPECT_TRUE(parts.size() <= 3);
      EXPECT_TRUE(sameBodies(std::vector<int>(model.begin(), model.begin() + parts.size()), parts));
      expectWorks(*out);
    };
  }

  std::vector<int> model, own;
  std::string record;
  MvAutoPtr<MvKMBrep> source;
  int bodies = 0;
  long long memoryWithSource = 0;
};

TEST_P(AllocationSweep, EveryAllocationOfEachOperation) {
  const std::string key = tempPath("sweep_holder");
  ASSERT_EQ(ksample::transmit(3, model.data(), key.c_str(), static_cast<int>(key.size()), ksample::Format::Text), 0);
  MvKMBrep::KmBrepTessParams p = params(1);
  long long referenceTriangles = 0;
  {
    MvAutoPtrVec<MvTriStripSet> reference;
    ASSERT_EQ(source->getMvColorShapeList(p, reference), 1u);
    referenceTriangles = triangles(reference);
  }
  const MvKMBrep& src = *source;
  const std::vector<std::pair<const char*, std::function<void(Trial&)>>> operations = {
      {"element serialize", [&](Trial& t) {
         MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
         if (t.seam([&] { return src.serialize(*s); })) expectReadsBack(*s, model);
       }},
      {"element deserialize", [&](Trial& t) { deserialize(t, false); }},
      {"element deserialize through the split callback", [&](Trial& t) { deserialize(t, true); }},
      {"host file write and read", [&](Trial& t) { hostFile(t); }},
      {"holder load from a kernel file", [&](Trial& t) { holder(t, key); }},
      {"copy constructor", copies([&](MvAutoPtr<MvKMBrep>& out) -> unsigned {
         out = new MvKMBrep(src);
         return out && out->kmPart().length() == 3;
       })},
      {"assignment", copies([&](MvAutoPtr<MvKMBrep>& out) -> unsigned {
         *out = src;
         return out->kmPart().length() == 3;
       })},
      {"copyAppendKmPart", copies([&](MvAutoPtr<MvKMBrep>& out) { return out->copyAppendKmPart(src.kmPart()); })},
      {"_clone", copies([&](MvAutoPtr<MvKMBrep>& out) -> unsigned {
         MvBase* clone = nullptr;
         static_cast<const MvBase&>(src)._clone(clone);
         out = static_cast<MvKMBrep*>(clone);
         return out && out->kmPart().length() == 3;
       })},
      {"colour merge", [&](Trial& t) {
         MvAutoPtrVec<MvTriStripSet> merged;
         EXPECT_TRUE(!t.seam([&] { return src.getMvColorShapeList(p = params(1), merged); }) ||
                     triangles(merged) == referenceTriangles);
       }},
      {"face shapes", [&](Trial& t) {
         MvAutoPtrVec<MvTriStripSet> faces;
         MvAVec<MvIVec<int>> maps;
         EXPECT_TRUE(!t.seam([&] { return src.getMvFaceShapeList(p = params(1), faces, maps, 1); }) || maps.length() == 3);
       }},
      {"edge shapes", [&](Trial& t) {
         MvAutoPtrVec<MvPolylineSet> edges;
         t.seam([&] { return src.getMvEdgeShape(p = params(1), edges); });
       }},
  };
  long long all = 0;
  for (const auto& op : operations) {
    SCOPED_TRACE(op.first);
    const long long sites = sweep(op.second);
    EXPECT_GT(sites, 0);
    noteFigure(std::string("allocation sites, ") + op.first, sites);
    all += sites;
  }
  std::remove((key + ".x_t").c_str());
  noteFigure("allocation sites, all operations", all);
  expectWorks(*source);
}

INSTANTIATE_TEST_SUITE_P(Modes, AllocationSweep, ::testing::Values(false, true), modeName);

}  // namespace
}  // namespace rel
