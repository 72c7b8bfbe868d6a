#include "support/fake_kernel_callbacks.h"
#include "support/test_files.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <utility>

using namespace fake;

namespace {

// An extra fini drives the count below zero; the next init brings it to zero and still initialises fully.
TEST(Lifecycle, InitAndFiniAreCounted) {
  // Calls (+ init, - fini), then whether the schema path, the kernel lock and the element's type record exist.
  const std::pair<const char*, bool> steps[] = {{"", false}, {"++-", true}, {"-", false}, {"-+", true},
                                                {"+", true}, {"-", false},  {"+-", false}};
  MvMutex* lock = nullptr;
  for (const auto& [calls, up] : steps) {
    SCOPED_TRACE(calls);
    for (const char* c = calls; *c; ++c) *c == '+' ? MvKMBrepLib::init() : MvKMBrepLib::fini();
    EXPECT_EQ(MvKMBrepLib::getKmSchemaPath() != nullptr, up);
    EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex != nullptr, up);
    EXPECT_EQ(MvKMBrep::classTypePtr() != nullptr, up);
    EXPECT_EQ(MvKMBrepOnFly::classTypePtr(), nullptr);  // the host registers the holder
    if (!up || !lock) lock = MvKMBrep::s_pKorvaniteMutex;  // kept while the library stays up
    EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex, lock);
  }
}

TEST(Lifecycle, SchemaDirectoryComesFromTheEnvironment) {
  const std::string longDir(700, 'd');
  const struct {
    const char *support, *schema;
    std::string expected;
  } cases[] = {
      {nullptr, nullptr, "/"}, {"/opt/support", "/opt/schema", "/opt/support"},
      {nullptr, "/opt/schema/", "/opt/schema/"},
#if !defined(_WIN32)
      {"", "/opt/schema", ""},  // set to an empty text counts as set
#endif
      {longDir.c_str(), nullptr, std::string(511, 'd')},  // cut to the 512-byte buffer, never overflowed
  };
  // The schema path init takes with the two variables set (null: removed); both are removed afterwards.
  const char* const names[] = {"MV_KORV_SUPPORT_PATH", "K_SCHEMA"};
  for (const auto& c : cases) {
    testfiles::setEnv(names[0], c.support);
    testfiles::setEnv(names[1], c.schema);
    MvKMBrepLib::init();
    EXPECT_EQ(std::string(MvKMBrepLib::getKmSchemaPath()), c.expected);
    MvKMBrepLib::fini();
  }
  for (const char* name : names) testfiles::setEnv(name, nullptr);
}

TEST(Lifecycle, BuildIdentityIsStampedInTheLibrary) {
  EXPECT_EQ(MvKMBrepLib::status(), 82);  // 'R', a release build
  const std::string bytes = testfiles::readAll(MVKM_LIBRARY_FILE);
  ASSERT_FALSE(bytes.empty());
  for (const std::string& stamp : {"_______QOB_VERSION_MARKER_______" + std::string(MvKMBrepLib::version()),
                                   "________QOB_BUILD_MARKER________" + std::string(MvKMBrepLib::build()),
                                   std::string("_______QOB_STATUS_MARKER________R")})
    EXPECT_NE(bytes.find(stamp + '\0'), std::string::npos) << stamp;
}

using TypeIdentityTest = fake::LibraryTest;

TEST_F(TypeIdentityTest, RecordsQueriesAndCreationByType) {
  ASSERT_NE(MvKMBrep::classTypePtr(), nullptr);
  const MvType& t = MvKMBrep::classTypeID();
  EXPECT_STREQ(t.name().c_str(), "MvKMBrep");
  EXPECT_EQ(t.guid().toString(), "{873A70E0-2AC9-11D1-9B6B-0080C7BB5997}");
  EXPECT_EQ(t.parent(), MvBase::__type);

  MvAutoPtr<MvBase> e(MvType::createInstance(t.guid()));
  ASSERT_NE(e.get(), nullptr);
  EXPECT_EQ(e->refCount(), 1);
  EXPECT_EQ(e->isOfExactType(t), 1u);
  EXPECT_EQ(e->isOfExactType(*MvBase::__type), 0u);
  EXPECT_EQ(e->isOfType(*MvBase::__type), 1u);
  EXPECT_EQ(e->typeGUID(), t.guid());
  // A distinct record carrying the same GUID is not the type.
  MvType twin(t.guid(), MvString("twin"), MvBase::__type, nullptr);
  EXPECT_EQ(e->isOfExactType(twin), 0u);
  EXPECT_EQ(e->isOfType(twin), 0u);

  // The holder is created by type once the host registered it; registering or removing twice is harmless.
  const MvGUID holderGuid(mvMakeIID(0x873A70E1, 0x2AC9, 0x11D1, 0x9B, 0x6B, 0x00, 0x80, 0xC7, 0xBB, 0x59, 0x97));
  EXPECT_EQ(MvType::createInstance(holderGuid), nullptr);
  MvKMBrepOnFly::constructType();
  const MvType* holderType = MvKMBrepOnFly::classTypePtr();
  MvKMBrepOnFly::constructType();
  EXPECT_EQ(MvKMBrepOnFly::classTypePtr(), holderType);
  EXPECT_STREQ(holderType->name().c_str(), "MvKMBrepOnFly");
  EXPECT_EQ(holderType->guid().toString(), "{873A70E1-2AC9-11D1-9B6B-0080C7BB5997}");
  MvAutoPtr<MvBase> h(MvType::createInstance(holderGuid));
  ASSERT_NE(h.get(), nullptr);
  EXPECT_EQ(h->isOfExactType(*holderType), 1u);
  MvKMBrepOnFly::destructType();
  MvKMBrepOnFly::destructType();
  EXPECT_EQ(MvKMBrepOnFly::classTypePtr(), nullptr);

  // Creation fails cleanly without memory.
  MvHeap::failAt(0);
  EXPECT_EQ(MvKMBrep::createInstance(), nullptr);
}

// _clone copies through the copy constructor; without memory or when that throws it gives 0 and null.
TEST_F(TypeIdentityTest, CloneCopiesThroughTheCopyConstructor) {
  MvKMBrep::setKmCopyCallback(fake::copy);
  MvAutoPtr<MvKMBrep> e = fake::element({5, 6}, 1);
  const MvBase& asBase = *e;
  MvBase* out = e.get();
  EXPECT_EQ(asBase._clone(out), 1u);
  ASSERT_NE(out, nullptr);
  MvAutoPtr<MvBase> clone(out);
  EXPECT_EQ(clone->refCount(), 1);
  EXPECT_EQ(fake::toStd(static_cast<MvKMBrep*>(out)->kmPart()), (std::vector<int>{1000, 1001}));

  MvHeap::failAt(0);
  EXPECT_EQ(fake::outcome(asBase._clone(out)),
            "result 0; MvKMBrep::_clone: Allocation failed: out = new MvKMBrep(*this) (20); rethrown 0");
  MvHeap::disarm();
  EXPECT_EQ(out, nullptr);

  fake::calls().throwCopyAt = 2;
  out = clone.get();
  EXPECT_EQ(asBase._clone(out), 0u);
  EXPECT_EQ(out, nullptr);
}

const Report kLockReport{"MvKMBrep", "staticLock",
                         "s_pKorvaniteMutex != NULL && s_pKorvaniteMutex->lock(msecTimeOut)", 5};
const Report kUnlockReport{"MvKMBrep", "staticUnlock", "s_pKorvaniteMutex != NULL && s_pKorvaniteMutex->unlock()", 5};

using LockTest = fake::LibraryTest;

TEST_F(LockTest, NestsOnOneThreadAndBlocksOthers) {
  ASSERT_EQ(MvKMBrep::staticLock(0xFFFFFFFF), 1u);
  ASSERT_EQ(MvKMBrep::staticLock(0xFFFFFFFF), 1u);
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex->heldDepth(), 2);

  std::atomic<bool> removed{false};
  MvAutoPtr<MvKMBrep> other = element({4});
  std::thread worker([&] { removed = other->removeAllParts() == 1; });  // needs the lock
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(removed.load());

  element();  // the holder can destroy an element, whose destructor locks again

  EXPECT_EQ(MvKMBrep::staticUnlock(), 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(removed.load());
  EXPECT_EQ(MvKMBrep::staticUnlock(), 1u);
  worker.join();
  EXPECT_TRUE(removed.load());
  EXPECT_EQ(other->isEmpty(), 1u);
  EXPECT_TRUE(MvErrorState::reports().empty());

  // Unlocking a lock this thread does not hold fails with its report.
  EXPECT_EQ(MvKMBrep::staticUnlock(), 0u);
  EXPECT_EQ(fake::reports(), std::vector<Report>{kUnlockReport});
}

// The reliability suite's fault paths run removeAllParts, the destructor and a thrown report this way.
TEST_F(LockTest, ThrowingReleaseCallbackLeavesTheLockFree) {
  MvAutoPtr<MvKMBrep> e = element({1, 2});
  fake::calls().throwOnRelease = true;
  EXPECT_THROW(e->removePart(0), std::runtime_error);
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex->heldDepth(), 0);
}

TEST(LockWithoutInit, EveryLockingOperationReportsBothMessagesAndWorks) {
  fake::reset();
  ASSERT_EQ(MvKMBrep::s_pKorvaniteMutex, nullptr);
  MvAutoPtr<MvKMBrep> e = element({3, 4});
  // Serialising without callbacks is refused before it would lock: one report only.
  EXPECT_EQ(e->serialize(*MvAutoPtr<MvMemoryStream>(new MvMemoryStream())), 0u);
  EXPECT_EQ(fake::reports().size(), 1u);

  MvErrorState::clear();
  MvKMBrep::setKmReleaseCallback(fake::release);
  EXPECT_EQ(e->removePart(0), 1u);
  EXPECT_EQ(fake::reports(), (std::vector<Report>{kLockReport, kUnlockReport}));
  MvErrorState::clear();
  e = nullptr;  // destructor and removeAllParts: two levels
  EXPECT_EQ(fake::reports(), (std::vector<Report>{kLockReport, kLockReport, kUnlockReport, kUnlockReport}));
  EXPECT_EQ(fake::calls().released, (std::vector<std::vector<int>>{{3}, {4}}));
  fake::reset();
}

}  // namespace
