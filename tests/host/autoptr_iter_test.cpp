// Auto pointers (reference order) and stride iterators.
#include "host/MvAutoPtr.h"
#include "host/MvBase.h"
#include "host/MvShapeDataIter.h"
#include "host_test_util.h"

#include <algorithm>
#include <string>
#include <vector>

using host_test::HostTest;

namespace {

class AutoPtrIterTest : public HostTest {};

std::vector<std::string> gLog;

// Logs its reference traffic; may hold a reference to another object.
class Logged : public MvBase {
 public:
  explicit Logged(std::string name, Logged* inner = nullptr) : _name(std::move(name)), _inner(inner) {}
  ~Logged() override { gLog.push_back("delete " + _name); }
  void _ref() const override {
    gLog.push_back("ref " + _name);
    MvBase::_ref();
  }
  void _unref() const override {
    gLog.push_back("unref " + _name);
    MvBase::_unref();
  }

 private:
  std::string _name;
  MvAutoPtr<Logged> _inner;
};

}  // namespace

TEST_F(AutoPtrIterTest, AssignmentTakesTheNewReferenceFirst) {
  gLog.clear();
  MvAutoPtr<Logged> p = new Logged("a");
  MvAutoPtr<Logged> q = new Logged("b");
  p = q;
  EXPECT_EQ(gLog, (std::vector<std::string>{"ref a", "ref b", "ref b", "unref a", "delete a"}));
  EXPECT_EQ(p->refCount(), 2);
  p = q;  // same pointer: no traffic
  EXPECT_EQ(gLog.size(), 5u);

  // The old object holds the only reference to the new one: assignment
  // must not destroy the new object on the way.
  gLog.clear();
  Logged* inner = new Logged("inner");
  MvAutoPtr<Logged> outer = new Logged("outer", inner);
  outer = inner;
  EXPECT_EQ(inner->refCount(), 1);
  EXPECT_EQ(outer.get(), inner);
  EXPECT_EQ(std::count(gLog.begin(), gLog.end(), "delete outer"), 1);
  EXPECT_EQ(std::count(gLog.begin(), gLog.end(), "delete inner"), 0);

  MvAutoPtr<Logged> copy(outer);
  EXPECT_EQ(inner->refCount(), 2);
  copy = nullptr;
  EXPECT_EQ(copy.get(), nullptr);
  EXPECT_EQ(inner->refCount(), 1);
  MvAutoPtr<Logged> moved(std::move(outer));
  EXPECT_EQ(outer.get(), nullptr);
  EXPECT_EQ(inner->refCount(), 1);
  moved.release();
  EXPECT_EQ(gLog.back(), "delete inner");
}

TEST_F(AutoPtrIterTest, StrideIteratorWalk) {
  float data[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  MvStrideIter<float, 3> it(data, 3, 3, nullptr);
  EXPECT_EQ(it.size(), 3);
  EXPECT_EQ(it.get(), nullptr);
  EXPECT_EQ(it.next(1), data);
  EXPECT_EQ(it.get(), data);
  EXPECT_EQ(it.next(1), data + 3);
  EXPECT_EQ(it.next(1), data + 6);
  EXPECT_EQ(it.next(1), nullptr);
  EXPECT_EQ(it.next(1), nullptr);
  it.reset();
  EXPECT_EQ(it.next(2), data + 3);
  // Far steps stop outside the elements instead of wrapping round.
  EXPECT_EQ(it.next(2147483647), nullptr);
  EXPECT_EQ(it.next(2147483647), nullptr);
  EXPECT_EQ(it.next(-2147483647), nullptr);
  MvStrideIter<float, 3> huge(data, 2147483647, 3, nullptr);
  EXPECT_EQ(huge.next(1), data);
  EXPECT_EQ(it.size(), 3);
  EXPECT_EQ(it.isStrided(), 1u);

  // Interleaved data: element size 2, stride 4.
  MvStrideIter<float, 2> uv(data, 2, 4, nullptr);
  EXPECT_EQ(uv.next(1), data);
  EXPECT_EQ(uv.next(1), data + 4);
  EXPECT_EQ(uv.next(1), nullptr);

  MvStrideIter<float, 3> none(nullptr, 3, 3, nullptr);
  EXPECT_EQ(none.next(1), nullptr);
  EXPECT_EQ(none.next(1), nullptr);
  MvStrideIter<float, 3> empty;
  EXPECT_EQ(empty.size(), 0);
  EXPECT_EQ(empty.next(1), nullptr);
}

TEST_F(AutoPtrIterTest, StrideIteratorOwnerReferences) {
  MvAutoPtr<MvBase> first = new MvBase;
  MvAutoPtr<MvBase> second = new MvBase;
  float data[6] = {1, 2, 3, 4, 5, 6};
  {
    MvStrideIter<float, 3> it(data, 1, 3, first);
    EXPECT_EQ(first->refCount(), 2);
    it.next(1);
    EXPECT_EQ(it.set(data + 3, 1, 3, second), 1u);
    EXPECT_EQ(first->refCount(), 1);
    EXPECT_EQ(second->refCount(), 2);
    // set() leaves the iterator before its first element.
    EXPECT_EQ(it.get(), nullptr);
    EXPECT_EQ(it.next(1), data + 3);
    EXPECT_EQ(it.set(data, 2, 3, second), 1u);
    EXPECT_EQ(second->refCount(), 2);
  }
  EXPECT_EQ(second->refCount(), 1);
}
