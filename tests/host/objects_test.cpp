// Auto pointers, stride iterators, GUIDs and the type registry.
#include "host/MvAutoPtr.h"
#include "host/MvBase.h"
#include "host/MvLib.h"
#include "host/MvShapeDataIter.h"
#include "host_test_util.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using ObjectsTest = host_test::HostTest;

std::vector<std::string> gLog;

// Logs its reference traffic; may hold a reference to another object.
class Logged : public MvBase {
 public:
  explicit Logged(std::string name, Logged* inner = nullptr) : _name(std::move(name)), _inner(inner) {}
  ~Logged() override { gLog.push_back("delete " + _name); }
  void _ref() const override { gLog.push_back("ref " + _name), MvBase::_ref(); }
  void _unref() const override { gLog.push_back("unref " + _name), MvBase::_unref(); }

 private:
  std::string _name;
  MvAutoPtr<Logged> _inner;
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
  EXPECT_EQ(it.get(), data + 3);
  // Far steps stop outside the elements instead of wrapping round.
  EXPECT_EQ(it.next(2147483647), nullptr);
  EXPECT_EQ(it.next(2147483647), nullptr);
  EXPECT_EQ(it.next(-2147483647), nullptr);
  EXPECT_EQ(it.size() * 10 + static_cast<int>(it.isStrided()), 31);
  MvStrideIter<float, 3> none(nullptr, 3, 3, nullptr);
  EXPECT_EQ(none.next(1), nullptr);

  // The iterator holds a reference to the owner of its data.
  MvAutoPtr<MvBase> first = new MvBase;
  MvAutoPtr<MvBase> second = new MvBase;
  {
    MvStrideIter<float, 3> owned(data, 1, 3, first);
    EXPECT_EQ(first->refCount(), 2);
    owned.next(1);
    EXPECT_EQ(owned.set(data + 3, 1, 3, second), 1u);
    EXPECT_EQ(first->refCount() * 10 + second->refCount(), 12);
    EXPECT_EQ(owned.next(1), data + 3);  // set() starts before the first element
  }
  EXPECT_EQ(second->refCount(), 1);
}

TEST_F(ObjectsTest, GuidsAndTypeRegistry) {
  const MvGUID g(kSampleIID);
  const unsigned char expected[16] = {0xE0, 0x70, 0x3A, 0x87, 0xC9, 0x2A, 0xD1, 0x11,
                                      0x9B, 0x6B, 0x00, 0x80, 0xC7, 0xBB, 0x59, 0x97};
  EXPECT_EQ(std::memcmp(g.bytes(), expected, 16), 0);
  EXPECT_EQ(g.toString(), "{873A70E0-2AC9-11D1-9B6B-0080C7BB5997}");
  EXPECT_TRUE(MvGUID().isNull() && !g.isNull() && g != MvGUID(kChildIID));

  MvLib::init();
  MvType* raw = nullptr;
  MvBase::createMvType(raw, g, MvString("Sample"), *MvBase::__type, [] { return new MvBase; });
  std::unique_ptr<MvType> sample(raw);
  ASSERT_NE(sample, nullptr);
  MvBase::createMvType(raw, MvGUID(kChildIID), MvString("Child"), *sample, nullptr);
  std::unique_ptr<MvType> child(raw);
  EXPECT_STREQ(sample->name().c_str(), "Sample");
  EXPECT_EQ(child->isA(*sample) + child->isA(*MvBase::__type), 2u);
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
