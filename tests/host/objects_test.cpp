// Auto pointers, stride iterators, GUIDs, the type registry, per-thread reports and the timed mutex.
#include "host/MvAutoPtr.h"
#include "host/MvBase.h"
#include "host/MvErrorState.h"
#include "host/MvLib.h"
#include "host/MvMutex.h"
#include "host/MvShapeDataIter.h"
#include "host_test_util.h"

#include <climits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using ObjectsTest = host_test::HostTest;
using ErrorMutexTest = host_test::HostTest;

std::vector<std::string> gLog;

// Logs its reference traffic; may hold a reference to another object.
struct Logged : MvBase {
  explicit Logged(std::string n, Logged* i = nullptr) : name(std::move(n)), inner(i) {}
  ~Logged() override { gLog.push_back("delete " + name); }
  void _ref() const override { gLog.push_back("ref " + name), MvBase::_ref(); }
  void _unref() const override { gLog.push_back("unref " + name), MvBase::_unref(); }
  std::string name;
  MvAutoPtr<Logged> inner;
};

constexpr _MvIID kSampleIID = mvMakeIID(0x873A70E0, 0x2AC9, 0x11D1, 0x9B, 0x6B, 0x00, 0x80, 0xC7, 0xBB, 0x59, 0x97);
constexpr _MvIID kChildIID = mvMakeIID(0x1B2C3D4E, 0x0001, 0x0002, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80);

}  // namespace

TEST_F(ObjectsTest, AssignmentTakesTheNewReferenceFirst) {
  gLog.clear();
  // The old object holds the only reference to the new one: assignment
  // must not destroy the new object on the way.
  Logged* inner = new Logged("inner");
  MvAutoPtr<Logged> outer = new Logged("outer", inner);
  outer = inner;
  EXPECT_EQ(inner->refCount(), 1);
  outer = inner;  // same pointer: no traffic
  EXPECT_EQ(gLog, (std::vector<std::string>{"ref inner", "ref outer", "ref inner", "unref outer", "delete outer",
                                             "unref inner"}));
}

TEST_F(ObjectsTest, StrideIterators) {
  float data[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  MvStrideIter<float, 3> it(data, 3, 3, nullptr);
  EXPECT_EQ(it.get(), nullptr);
  for (const float* expected : {data, data + 3, data + 6, static_cast<float*>(nullptr), static_cast<float*>(nullptr)})
    EXPECT_EQ(it.next(1), expected);
  it.reset();
  EXPECT_EQ(it.next(2), data + 3);
  // Far steps stop outside the elements instead of wrapping round.
  for (int step : {INT_MAX, INT_MAX, -INT_MAX}) EXPECT_EQ(it.next(step), nullptr);
  EXPECT_EQ((MvStrideIter<float, 3>(nullptr, 3, 3, nullptr).next(1)), nullptr);  // no data

  // The iterator holds a reference to the owner of its data.
  MvAutoPtr<MvBase> first = new MvBase, second = new MvBase;
  {
    MvStrideIter<float, 3> owned(data, 1, 3, first);
    EXPECT_EQ(first->refCount(), 2);
    owned.next(1);
    EXPECT_EQ(owned.set(data + 3, 1, 3, second), 1u);
    EXPECT_EQ(first->refCount(), 1);
    EXPECT_EQ(second->refCount(), 2);
    EXPECT_EQ(owned.next(1), data + 3);  // set() starts before the first element
  }
  EXPECT_EQ(second->refCount(), 1);
}

TEST_F(ObjectsTest, GuidsAndTypeRegistry) {
  const MvGUID g(kSampleIID);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(g.bytes()), 16),
            std::string("\xE0\x70\x3A\x87\xC9\x2A\xD1\x11\x9B\x6B\x00\x80\xC7\xBB\x59\x97", 16));
  EXPECT_EQ(g.toString(), "{873A70E0-2AC9-11D1-9B6B-0080C7BB5997}");
  EXPECT_TRUE(MvGUID().isNull());
  EXPECT_TRUE(!g.isNull());
  EXPECT_TRUE(g != MvGUID(kChildIID));

  MvLib::init();
  MvType* raw = nullptr;
  MvBase::createMvType(raw, g, MvString("Sample"), *MvBase::__type, [] { return new MvBase; });
  std::unique_ptr<MvType> sample(raw);
  ASSERT_NE(sample, nullptr);
  MvBase::createMvType(raw, MvGUID(kChildIID), MvString("Child"), *sample, nullptr);
  std::unique_ptr<MvType> child(raw);
  EXPECT_EQ(child->isA(*sample), 1u);
  EXPECT_EQ(child->isA(*MvBase::__type), 1u);
  EXPECT_EQ(sample->isA(*child), 0u);
  EXPECT_EQ(MvType::find(g), sample.get());
  EXPECT_NE(MvAutoPtr<MvBase>(MvType::createInstance(g)).get(), nullptr);
  EXPECT_EQ(MvType::createInstance(MvGUID(kChildIID)), nullptr);  // no factory
  child.reset();
  sample.reset();
  EXPECT_EQ(MvType::find(g), nullptr);
  EXPECT_EQ(MvType::createInstance(g), nullptr);
  MvLib::fini();
}

TEST_F(ErrorMutexTest, ReportsArePerThreadAndCanThrow) {
  MvErrorState::throwStdError("MvKMBrep", "op", "a != NULL", 5);
  MvErrorState::rethrowError();
  host_test::expectLastReport("MvKMBrep", "op", "a != NULL", 5);
  EXPECT_EQ(MvErrorState::rethrowCount(), 1);
  // Another thread starts with no reports, and its own stay there.
  std::thread([] {
    EXPECT_TRUE(MvErrorState::reports().empty());
    MvErrorState::throwStdError("X", "y", "z", 1);
  }).join();
  EXPECT_EQ(MvErrorState::reports().size(), 1u);

  MvErrorState::clear();
  EXPECT_EQ(MvErrorState::rethrowCount(), 0);
  MvErrorState::setThrowOnError(true);
  try {
    MvErrorState::throwStdError("MvVecBase", "remove", "start<0", 1);
    ADD_FAILURE() << "no MvError raised";
  } catch (const MvError& e) {
    EXPECT_EQ(std::string(e.what()), "MvVecBase::remove: start<0 (code 1)");
  }
  EXPECT_EQ(MvErrorState::reports().size(), 1u);  // recorded before it was thrown
}

TEST_F(ErrorMutexTest, MutexRecursionTimeOutAndOwnership) {
  MvMutex m;
  EXPECT_FALSE(m.relock());
  EXPECT_EQ(m.lock(0), 1u);
  EXPECT_FALSE(m.unlockNested());
  EXPECT_EQ(m.lock(MvMutex::kInfinite), 1u);
  EXPECT_TRUE(m.relock());
  EXPECT_EQ(m.heldDepth(), 3);
  // Another thread can neither unlock it nor take it within 50 ms.
  std::thread([&m] {
    EXPECT_FALSE(m.relock());
    EXPECT_FALSE(m.unlockNested());
    EXPECT_EQ(m.unlock(), 0u);
    EXPECT_EQ(m.lock(50), 0u);
  }).join();
  EXPECT_EQ(m.heldDepth(), 3);
  EXPECT_TRUE(m.unlockNested());
  EXPECT_EQ(m.unlock(), 1u);
  EXPECT_FALSE(m.unlockNested());
  EXPECT_EQ(m.unlock(), 1u);
  EXPECT_EQ(m.unlock(), 0u);
}
