// The element's part lists, copies and releases; the holder's entity lists; element records in object streams.
#include "support/fake_kernel_callbacks.h"
#include "support/frustrum_kernel.h"

#include <string>
#include <utility>

using namespace fake;

namespace {

using Lists = std::vector<std::vector<int>>;
using PartListTest = fake::LibraryTest;

// Tags and flags stay in step: appending the element's own list doubles it once, and a failed append takes
// the tag list back (tags without flags would break every later operation).
TEST_F(PartListTest, AppendKeepsTagsAndFlagsInStep) {
  MvAutoPtr<MvKMBrep> e = element();
  EXPECT_EQ(e->isEmpty(), 1u);
  EXPECT_EQ(e->appendKmPart(tags({1, 2}), 0), 1u);
  EXPECT_EQ(e->appendKmPart(tags({3}), 5), 1u);
  EXPECT_EQ(e->isEmpty(), 0u);
  EXPECT_EQ(e->appendKmPart(e->kmPart(), 7), 1u);
  EXPECT_EQ(toStd(e->kmPart()), (std::vector<int>{1, 2, 3, 1, 2, 3}));
  EXPECT_EQ(toStd(e->kmPartOwnerFlags()), (std::vector<unsigned>{0, 0, 5, 7, 7, 7}));
  EXPECT_TRUE(MvErrorState::reports().empty());

  const MvVec<int> more = tags({4, 5, 6, 7, 8, 9, 10, 11, 12});
  for (const auto& [failAt, condition] : {std::pair<int, const char*>{0, "_vKMPartList.append(kmPartList)"},
                                          {1, "_vbHasOwnerFlagList.append(bHasOwner)"}}) {
    MvHeap::failAt(failAt);  // 0: the tag list cannot grow; 1: it grows, the flag list cannot
    EXPECT_EQ(outcome(e->appendKmPart(more, 1)),
              "result 0; MvVecBase::reallocMem: Allocation failed: p = new MvChar[cNewAllocBytes] (20); "
              "MvKMBrep::appendKmPart: " + std::string(condition) + " (5); rethrown 1");
    MvHeap::disarm();
    EXPECT_EQ(e->kmPart().length(), 6);
    EXPECT_EQ(e->kmPartOwnerFlags().length(), 6);
  }
  e = nullptr;  // the owned parts 1 and 2 are released, foreign ones never
  EXPECT_EQ(fake::calls().released, (Lists{{1, 2}}));
}

TEST_F(PartListTest, CopyAppendCopiesEachPartOnceAndStopsAtFailure) {
  MvAutoPtr<MvKMBrep> e = element();
  EXPECT_EQ(outcome(e->copyAppendKmPart(tags({1}))),
            "result 0; MvKMBrep::copyAppendKmPart: pfKmCopyCB != NULL (5); rethrown 0");

  MvKMBrep::setKmCopyCallback(fake::copy);
  fake::calls().failCopyAt = 2;
  EXPECT_EQ(outcome(e->copyAppendKmPart(tags({10, 11, 12, 13}))), "result 0; rethrown 1");  // the failure passes on
  EXPECT_EQ(fake::calls().copiedFrom, (std::vector<int>{10, 11, 12}));
  EXPECT_EQ(toStd(e->kmPart()), (std::vector<int>{1000, 1001}));
  EXPECT_EQ(toStd(e->kmPartOwnerFlags()), (std::vector<unsigned>{0, 0}));

  // The element's own list as source: each original part is copied once.
  fake::calls().failCopyAt = -1;
  e = element({7, 8});
  EXPECT_EQ(e->copyAppendKmPart(e->kmPart()), 1u);
  EXPECT_EQ(fake::calls().copiedFrom, (std::vector<int>{10, 11, 12, 7, 8}));
  EXPECT_EQ(toStd(e->kmPart()), (std::vector<int>{7, 8, 1002, 1003}));

  // A throwing copy callback passes on, leaving the list and the lock as they were.
  fake::calls().throwCopyAt = 5;  // the next copy
  EXPECT_THROW(e->copyAppendKmPart(tags({5})), std::runtime_error);
  EXPECT_EQ(e->kmPart().length(), 4);
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex->heldDepth(), 0);
}

TEST_F(PartListTest, RemovingReleasesOnlyOwnedParts) {
  MvKMBrep::setKmReleaseCallback(nullptr);
  MvAutoPtr<MvKMBrep> e = element();
  for (int tag : {7, 8, 9, 6, 10}) e->appendKmPart(tags({tag}), tag == 8 || tag == 6);
  EXPECT_EQ(outcome(e->removePart(0)), "result 0; MvKMBrep::removePart: pfKmReleaseCB != NULL (5); rethrown 0");
  EXPECT_EQ(outcome(e->removeAllParts()), "result 0; MvKMBrep::removeAllParts: pfKmReleaseCB != NULL (5); rethrown 0");
  EXPECT_EQ(e->kmPart().length(), 5);

  MvKMBrep::setKmReleaseCallback(fake::release);
  for (int bad : {-1, 5})
    EXPECT_EQ(outcome(e->removePart(bad)),
              "result 0; MvKMBrep::removePart: i>=0 && i<_vKMPartList.length() (5); rethrown 0");
  EXPECT_EQ(e->removePart(1), 1u);  // foreign: nothing released
  EXPECT_EQ(e->removePart(0), 1u);
  EXPECT_EQ(fake::calls().released, (Lists{{7}}));
  EXPECT_EQ(toStd(e->kmPart()), (std::vector<int>{9, 6, 10}));
  EXPECT_EQ(toStd(e->kmPartOwnerFlags()), (std::vector<unsigned>{0, 1, 0}));

  // removeAllParts releases the owned tags in one call; with nothing owned it calls nothing.
  EXPECT_EQ(e->removeAllParts(), 1u);
  EXPECT_EQ(e->isEmpty(), 1u);
  EXPECT_EQ(e->removeAllParts(), 1u);
  EXPECT_EQ(fake::calls().released, (Lists{{7}, {9, 10}}));

  // Destroyed without a release callback, an element frees its lists only.
  e->appendKmPart(tags({1, 2}), 0);
  MvKMBrep::setKmReleaseCallback(nullptr);
  e = nullptr;
  EXPECT_EQ(fake::calls().released.size(), 2u);
}

TEST_F(PartListTest, CopiesAndAssignmentGoThroughTheCopyCallback) {
  MvAutoPtr<MvKMBrep> src = element({1});
  src->appendKmPart(tags({2}), 9);
  // No copy callback: an element without parts.
  EXPECT_EQ(MvAutoPtr<MvKMBrep>(new MvKMBrep(*src))->isEmpty(), 1u);

  MvKMBrep::setKmCopyCallback(fake::copy);
  MvAutoPtr<MvKMBrep> copy(new MvKMBrep(*src));
  EXPECT_EQ(toStd(copy->kmPart()), (std::vector<int>{1000, 1001}));
  EXPECT_EQ(toStd(copy->kmPartOwnerFlags()), (std::vector<unsigned>{0, 0}));

  // A copy failing part way gives back the copies already made.
  fake::calls().failCopyAt = 3;
  EXPECT_EQ(MvAutoPtr<MvKMBrep>(new MvKMBrep(*src))->isEmpty(), 1u);
  EXPECT_EQ(fake::calls().released, (Lists{{1002}}));

  // Assignment appends copies behind the target's parts; self-assignment copies each part once.
  fake::calls().failCopyAt = -1;
  *copy = *src;
  EXPECT_EQ(toStd(copy->kmPart()), (std::vector<int>{1000, 1001, 1003, 1004}));
  *copy = *copy;
  EXPECT_EQ(copy->kmPart().length(), 8);
  EXPECT_EQ(toStd(copy->kmPartOwnerFlags()), (std::vector<unsigned>(8, 0)));

  // A failing assignment leaves the target unchanged and releases its copies.
  fake::calls().failCopyAt = static_cast<int>(fake::calls().copiedFrom.size()) + 1;
  *copy = *src;
  EXPECT_EQ(copy->kmPart().length(), 8);
  EXPECT_EQ(fake::calls().released, (Lists{{1002}, {1009}}));

  // A throwing copy callback: the copies made are given back, the exception passes on.
  fake::calls().throwCopyAt = static_cast<int>(fake::calls().copiedFrom.size()) + 1;
  EXPECT_THROW(MvAutoPtr<MvKMBrep>(new MvKMBrep(*src)), std::runtime_error);
  EXPECT_EQ(fake::calls().released, (Lists{{1002}, {1009}, {1010}}));
}

TEST_F(PartListTest, HolderLinkCountsReferences) {
  MvAutoPtr<MvKMBrep> e = element();
  MvAutoPtr<MvKMBrepOnFly> holder(new MvKMBrepOnFly());
  e->setKmBrepOnFly(holder);
  e->setKmBrepOnFly(holder);
  EXPECT_EQ(holder->refCount(), 2);
  // A copy of the element does not share the link.
  EXPECT_EQ(MvAutoPtr<MvKMBrep>(new MvKMBrep(*e))->kmBrepOnFly().get(), nullptr);
  e->setKmBrepOnFly(nullptr);
  EXPECT_EQ(holder->refCount(), 1);
  e->setKmBrepOnFly(holder);
  e = nullptr;  // the element's reference goes with it
  EXPECT_EQ(holder->refCount(), 1);
}

// The flag list grows as appends do (at least doubling), not to the exact length: one-part appends stay cheap.
TEST_F(PartListTest, FlagsGrowByTheAppendRule) {
  MvKMBrep::setKmCopyCallback(fake::copy);
  const struct {
    std::vector<int> appends;  // parts per append
    int allocated;             // the flag list's allocated length afterwards
  } cases[] = {{{1, 1, 1, 1, 1}, 8}, {{5}, 5}, {{5, 1}, 10}, {{5, 20}, 25}};
  for (bool copying : {false, true}) {
    for (const auto& c : cases) {
      MvAutoPtr<MvKMBrep> e = element();
      for (int n : c.appends) {
        const MvVec<int> list = testfiles::tagVec(std::vector<int>(n));
        EXPECT_EQ(copying ? e->copyAppendKmPart(list) : e->appendKmPart(list, 0), 1u);
      }
      EXPECT_EQ(e->kmPartOwnerFlags().allocatedLength(), c.allocated);
      EXPECT_EQ(e->kmPartOwnerFlags().length(), e->kmPart().length());
    }
  }
}

// Destruction gives the owned parts back in one call without allocating, whatever else fails.
TEST_F(PartListTest, DestructionReleasesOwnedPartsWhateverFails) {
  const struct {
    bool noMemory, noLock;
  } cases[] = {{true, false}, {false, true}, {true, true}};
  for (const auto& c : cases) {
    fake::calls().released.clear();
    MvAutoPtr<MvKMBrep> e = element();
    for (int tag : {7, 8, 9}) e->appendKmPart(tags({tag}), tag == 8);
    MvMutex* const lock = MvKMBrep::s_pKorvaniteMutex;
    if (c.noLock) MvKMBrep::s_pKorvaniteMutex = nullptr;
    MvErrorState::setThrowOnError(c.noLock);
    if (c.noMemory) MvHeap::failAt(0, true);
    e = nullptr;
    MvHeap::disarm();
    MvErrorState::setThrowOnError(false);
    MvKMBrep::s_pKorvaniteMutex = lock;
    EXPECT_EQ(fake::calls().released, (Lists{{7, 9}}));
    EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memoryAtStart);
  }
}

// Callbacks that change the very list being copied or released: the work goes on from a snapshot, so nothing
// freed is read and nothing is released twice.
MvKMBrep* gSource = nullptr;

TEST_F(PartListTest, CopyCallbackThatGrowsTheSourceCopiesTheOriginalParts) {
  MvKMBrep::setKmCopyCallback([](int tag, int& copy) -> unsigned {
    fake::calls().copiedFrom.push_back(tag);
    gSource->appendKmPart(tags({90, 91, 92, 93, 94, 95, 96, 97}), 1);  // the source's storage moves
    copy = tag + 100;
    return 1;
  });
  for (bool constructing : {false, true}) {
    fake::calls().copiedFrom.clear();
    MvAutoPtr<MvKMBrep> src = element({1, 2, 3});
    gSource = src.get();
    MvAutoPtr<MvKMBrep> copy = constructing ? MvAutoPtr<MvKMBrep>(new MvKMBrep(*src)) : src;
    if (!constructing) {
      EXPECT_EQ(src->copyAppendKmPart(src->kmPart()), 1u);
    }
    EXPECT_EQ(fake::calls().copiedFrom, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(toStd(copy->kmPart()).size(), constructing ? 3u : 3u + 24u + 3u);
    EXPECT_EQ(toStd(copy->kmPart()).back(), 103);
  }
}

using OnFlyTest = fake::LibraryTest;
using Holder = MvAutoPtr<MvKMBrepOnFly>;

// The cleaned and the uncleaned entities.
using Entities = std::pair<std::vector<int>, std::vector<int>>;
Entities entities(const MvKMBrepOnFly& h) { return {toStd(h.kmEntity()), toStd(h.kmUnCleanedEntity())}; }

TEST_F(OnFlyTest, ListsAndBrepLink) {
  MvKMBrep::setKmReleaseCallback(nullptr);
  Holder h(new MvKMBrepOnFly());
  MvAutoPtr<MvBrep> brep(new MvBrep());
  h->setMvBrep(brep);
  h->setMvBrep(brep);  // one reference however often it is set
  EXPECT_EQ(brep->refCount(), 2);

  h->appendKmEntity(tags({4, 5}), 0);
  h->appendKmEntity(tags({1, 2}), 1);
  EXPECT_EQ(entities(*h), Entities({1, 2}, {4, 5}));

  // Without a release callback unloading is refused and the lists are kept.
  EXPECT_EQ(outcome(h->unloadKmEntity()),
            "result 0; MvKMBrepOnFly::unloadKmEntity: pfKmReleaseCB != NULL (5); rethrown 0");
  MvKMBrep::setKmReleaseCallback(fake::release);

  // A removed entity leaves the holder's care: never released.
  h->removeKmEntity(0, 1);
  h->removeKmEntity(9, 1);  // reported by the vector
  EXPECT_EQ(reports().back(), (Report{"MvVecBase", "remove", "MvVecBASE<T,S>::remove() -- start>=this->len .", 1}));
  EXPECT_EQ(h->unloadKmEntity(), 1u);
  EXPECT_EQ(h->mvBrep(), brep.get());
  EXPECT_EQ(h->unloadKmEntity(), 1u);  // empty: still two calls, with 0 and null
  EXPECT_EQ(calls().releaseArgs, (std::vector<std::pair<int, bool>>{{1, false}, {2, false}, {0, true}, {0, true}}));
  h->setMvBrep(nullptr);
  EXPECT_EQ(brep->refCount(), 1);

  // Destruction releases the cleaned entities first.
  h->appendKmEntity(tags({3}), 0);
  h->appendKmEntity(tags({1, 2}), 1);
  h = nullptr;
  EXPECT_EQ(fake::calls().released, (Lists{{2}, {4, 5}, {}, {}, {1, 2}, {3}}));

  // Without a release callback destruction frees the lists silently.
  MvKMBrep::setKmReleaseCallback(nullptr);
  MvErrorState::clear();
  Holder(new MvKMBrepOnFly())->appendKmEntity(tags({6}), 1);
  EXPECT_TRUE(MvErrorState::reports().empty());
  EXPECT_EQ(fake::calls().released.size(), 6u);
}

TEST_F(OnFlyTest, CopiesAndAssignment) {
  Holder src(new MvKMBrepOnFly());
  MvAutoPtr<MvBrep> brep(new MvBrep());
  src->setMvBrep(brep);
  src->appendKmEntity(tags({1, 2, 3}), 1);
  src->appendKmEntity(tags({9}), 0);
  // No copy callback: nothing is copied, no call through a null pointer.
  Holder copy(new MvKMBrepOnFly(*src));
  EXPECT_EQ(entities(*copy), Entities());
  EXPECT_EQ(copy->mvBrep(), brep.get());
  EXPECT_EQ(brep->refCount(), 3);
  // A failed copy ends the copying; the copies made so far stand, unreported.
  MvKMBrep::setKmCopyCallback(fake::copy);
  fake::calls().failCopyAt = 1;
  Holder partial(new MvKMBrepOnFly(*src));
  EXPECT_EQ(entities(*partial), Entities({1000}, {}));
  EXPECT_TRUE(MvErrorState::reports().empty());

  fake::calls().failCopyAt = -1;
  Holder target(new MvKMBrepOnFly());
  target->appendKmEntity(tags({50}), 1);
  *target = *src;
  EXPECT_EQ(entities(*target), Entities({50, 1001, 1002, 1003}, {1004}));
  EXPECT_EQ(target->mvBrep(), brep.get());

  // Self-assignment copies each listed entity once.
  *target = *target;
  EXPECT_EQ(entities(*target), Entities({50, 1001, 1002, 1003, 1005, 1006, 1007, 1008}, {1004, 1009}));

  MvBase* out = nullptr;
  EXPECT_EQ(static_cast<const MvBase&>(*src)._clone(out), 1u);
  MvAutoPtr<MvBase> clone(out);
  EXPECT_EQ(static_cast<MvKMBrepOnFly*>(out)->kmEntity().length(), 3);
}

// A release callback that unloads the same holder finds it empty: every entity goes back once.
MvKMBrepOnFly* gHolder = nullptr;

TEST_F(OnFlyTest, ReleaseCallbackThatUnloadsTheHolderReleasesEachEntityOnce) {
  MvKMBrep::setKmReleaseCallback([](int count, const int* tags) -> unsigned {
    fake::calls().released.emplace_back(tags, tags + count);
    if (MvKMBrepOnFly* h = gHolder) {
      gHolder = nullptr;
      h->unloadKmEntity();
    }
    return 1;
  });
  Holder h(new MvKMBrepOnFly());
  h->appendKmEntity(tags({1, 2}), 1);
  h->appendKmEntity(tags({3}), 0);
  gHolder = h.get();
  EXPECT_EQ(h->unloadKmEntity(), 1u);
  EXPECT_EQ(fake::calls().released, (Lists{{1, 2}, {}, {}, {3}}));
  EXPECT_EQ(entities(*h), Entities());
}

std::vector<std::string> debugLines;

// The bytes of 32-bit little-endian integers, as the stream writes them.
std::string ints(std::initializer_list<int> values) {
  std::string out;
  for (int v : values)
    for (int b = 0; b < 4; ++b) out += static_cast<char>(static_cast<unsigned>(v) >> (8 * b));
  return out;
}

class StreamRecordTest : public fake::LibraryTest {
 protected:
  void SetUp() override {
    fake::LibraryTest::SetUp();
    tinykernel::install();
    debugLines.clear();
    mvSetDebugSink([](const char* line) { debugLines.push_back(line); });
  }
  void TearDown() override {
    mvSetDebugSink(nullptr);
    tinykernel::uninstall();
    MvPartition::setVersion(MvPartition::kCurrentMajor, MvPartition::kCurrentMinor);
    fake::LibraryTest::TearDown();
  }
  // The stream given back, no host stream current, no frustrum stream open, the lock free.
  void expectIdle(const MvMemoryStream& s) {
    EXPECT_EQ(s.refCount(), 1);
    EXPECT_EQ(mvFrustrumHasHostStream(), 0);
    EXPECT_EQ(mvFrustrumSegmentEnd(), 0);
    EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
    EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex->heldDepth(), 0);
  }
};

// Records hold version 1, the kernel's version, the segment length and the segment; no parts: length 0.
TEST_F(StreamRecordTest, RecordsRoundTrip) {
  MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
  ASSERT_EQ(element({7, 9, 11})->serialize(*s), 1u);
  EXPECT_EQ(MvKMBrep::storedSegmentLength(), 13);
  ASSERT_EQ(element()->serialize(*s), 1u);
  EXPECT_EQ(MvKMBrep::storedSegmentLength(), 0);
  s->write(12345);  // the stream stands after each record
  EXPECT_EQ(std::string(s->data(), s->size()), ints({1, 3, 2, 13}) + "T 7\nT 9\nT 11\n" + ints({1, 3, 2, 0, 12345}));
  EXPECT_EQ(debugLines, std::vector<std::string>{"No KM data is available for serialize()\n"});
  expectIdle(*s);

  // Reading appends the received parts behind existing ones.
  MvAutoPtr<MvKMBrep> back = element({1}), none = element();
  tinykernel::state().major = 4;
  s->seek(0);
  ASSERT_EQ(back->deserialize(*s), 1u);
  EXPECT_EQ(MvKMBrep::storedSegmentLength(), 13);
  ASSERT_EQ(none->deserialize(*s), 1u);
  EXPECT_EQ(toStd(back->kmPart()), (std::vector<int>{1, 107, 109, 111}));
  EXPECT_EQ(toStd(back->kmPartOwnerFlags()), (std::vector<unsigned>{0, 0, 0, 0}));
  EXPECT_EQ(none->isEmpty(), 1u);
  int next = 0;
  ASSERT_EQ(s->read(next), 1u);
  EXPECT_EQ(next, 12345);
  int major = 0, minor = 0;
  MvKMBrep::storedKmVersion(major, minor);
  EXPECT_EQ(std::make_pair(major, minor), std::make_pair(3, 2));  // stored with the data, not the running one
  EXPECT_EQ(tinykernel::state().freed, 1);
  EXPECT_TRUE(MvErrorState::reports().empty());
  expectIdle(*s);

  // The kernel stops early (one 7-byte block of 13): the stream still stands after the segment.
  tinykernel::state().readLimit = 4;
  s->seek(0);
  ASSERT_EQ(none->deserialize(*s), 1u);
  EXPECT_EQ(toStd(none->kmPart()), (std::vector<int>{107, 109}));
  int pos = 0;
  s->getPosition(pos);
  EXPECT_EQ(pos, 16 + 13);

  // A failing receive keeps nothing, holds no stream and leaves the holder link dropped.
  tinykernel::state().readLimit = -1;
  tinykernel::state().failRead = true;
  MvAutoPtr<MvKMBrepOnFly> holder(new MvKMBrepOnFly());
  none->setKmBrepOnFly(holder);
  s->seek(0);
  EXPECT_EQ(outcome(none->deserialize(*s)), "result 0; rethrown 2");
  EXPECT_EQ(toStd(none->kmPart()), (std::vector<int>{107, 109}));
  EXPECT_EQ(holder->refCount(), 1);
  expectIdle(*s);

  // A failing transmit passes the failure on and holds no stream.
  tinykernel::state().failWrite = true;
  EXPECT_EQ(outcome(back->serialize(*s)), "result 0; rethrown 2");
  expectIdle(*s);
}

// Each refusal reports, leaves the element's parts as they were and holds no stream.
TEST_F(StreamRecordTest, Refusals) {
  const struct {
    void (*setup)();
    std::vector<int> record;  // read into the element; none: the element is written
    int written;              // bytes a refused write leaves
    Report expected;
  } cases[] = {
      {[] { MvPartition::setVersion(7, 5); }, {}, 0, {"MvKMBrep", "serialize", "majorVer >= 8", 5}},
      {[] { MvKMBrep::setKmWriteCallback(nullptr); }, {}, 0,
       {"MvKMBrep", "serialize", "(_pfKmVersionCB != NULL) && (_pfKmWriteCB != NULL)", 5}},
      {[] { tinykernel::state().major = -1; }, {}, 4, {"MvKMBrep", "serialize", "_kmMajorV >= 0 && _kmMinorV >= 0", 5}},
      {[] { tinykernel::state().writeNothing = true; }, {}, 16, {"MvKMBrep", "serialize", "length > 0", 5}},
      {nullptr, {0, 3, 2, 4}, 0, {"MvKMBrep", "deserialize", "Invalid KMBrep version number", 21}},
      {nullptr, {2, 3, 2, 4}, 0, {"MvKMBrep", "deserialize", "Invalid KMBrep version number", 22}},
      {nullptr, {1, 3, 2, -4}, 0, {"MvKMBrep", "deserialize", "length > 0", 5}},
      {nullptr, {1, 3, -2, 4}, 0, {"MvKMBrep", "deserialize", "_kmMajorV >= 0 && _kmMinorV >= 0", 5}},
      {nullptr, {1, 3, 2, 400}, 0, {"MvKMBrep", "deserialize", "currPos + length <= stream size", 5}},
      {[] { MvKMBrep::setKmReadCallback(nullptr); }, {1, 3, 2, 4}, 0,
       {"MvKMBrep", "deserialize", "(_pfKmVersionCB != NULL) && (_pfKmReadCB != NULL)", 5}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::get<2>(c.expected));  // the condition
    tinykernel::install();
    MvPartition::setVersion(MvPartition::kCurrentMajor, MvPartition::kCurrentMinor);
    MvErrorState::clear();
    if (c.setup) c.setup();
    MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
    for (int v : c.record) s->write(v);
    s->seek(0);
    MvAutoPtr<MvKMBrep> e = element({5});
    EXPECT_EQ(c.record.empty() ? e->serialize(*s) : e->deserialize(*s), 0u);
    EXPECT_EQ(fake::reports(), std::vector<Report>{c.expected});
    EXPECT_EQ(toStd(e->kmPart()), std::vector<int>{5});
    EXPECT_EQ(s->size(), c.record.empty() ? c.written : 16);
    expectIdle(*s);
  }
}

// Read through the object stream, which knows where the record ends, a length of 0 means no parts only
// when the record ends there: a length zeroed in front of a segment is damage, not an empty element.
TEST_F(StreamRecordTest, ZeroLengthIsNoPartsOnlyAtTheRecordEnd) {
  const struct {
    std::vector<int> parts, read;  // read: none with a refusal
    bool zeroLength;
  } cases[] = {{{7, 9}, {107, 109}, false}, {{7, 9}, {}, true}, {{}, {}, false}};
  for (const auto& c : cases) {
    MvErrorState::clear();
    MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
    ASSERT_EQ(s->writeObject(testfiles::elementOf(c.parts)), 1u);
    if (c.zeroLength) s->seek(16 + 4 + 12), s->write(0);  // GUID, record length, version and kernel version
    s->seek(0);
    MvAutoPtr<MvBase> obj;
    const unsigned ok = s->readObject(obj);
    EXPECT_EQ(ok, c.zeroLength ? 0u : 1u);
    EXPECT_EQ(s->lastUnreadBytes(), 0);
    if (ok) {
      EXPECT_EQ(toStd(static_cast<MvKMBrep*>(obj.get())->kmPart()), c.read);
    } else {
      EXPECT_EQ(reports().front(), (Report{"MvKMBrep", "deserialize", "length > 0", 5}));
    }
    expectIdle(*s);
  }
}

}  // namespace
