#include "support/fake_kernel_callbacks.h"

#include <cstring>

namespace {

class TypeIdentityTest : public fake::LibraryTest {};

TEST_F(TypeIdentityTest, RecordsCarryNameGuidAndParent) {
  const unsigned char brepBytes[16] = {0xE0, 0x70, 0x3A, 0x87, 0xC9, 0x2A, 0xD1, 0x11,
                                       0x9B, 0x6B, 0x00, 0x80, 0xC7, 0xBB, 0x59, 0x97};
  ASSERT_NE(MvKMBrep::classTypePtr(), nullptr);
  const MvType& t = MvKMBrep::classTypeID();
  EXPECT_STREQ(t.name().c_str(), "MvKMBrep");
  EXPECT_EQ(std::memcmp(t.guid().bytes(), brepBytes, 16), 0);
  EXPECT_EQ(t.parent(), MvBase::__type);

  MvKMBrepOnFly::constructType();
  const MvType* first = MvKMBrepOnFly::classTypePtr();
  MvKMBrepOnFly::constructType();  // a second call keeps the first record
  EXPECT_EQ(MvKMBrepOnFly::classTypePtr(), first);
  unsigned char holderBytes[16];
  std::memcpy(holderBytes, brepBytes, 16);
  holderBytes[0] = 0xE1;
  EXPECT_EQ(std::memcmp(first->guid().bytes(), holderBytes, 16), 0);
  EXPECT_EQ(first->guid().toString(), "{873A70E1-2AC9-11D1-9B6B-0080C7BB5997}");
  MvKMBrepOnFly::destructType();
  EXPECT_EQ(MvKMBrepOnFly::classTypePtr(), nullptr);
  MvKMBrepOnFly::destructType();
  EXPECT_EQ(MvKMBrepOnFly::classTypePtr(), nullptr);
}

TEST_F(TypeIdentityTest, QueriesAndCreationByType) {
  MvAutoPtr<MvBase> e(MvType::createInstance(MvKMBrep::classTypeID().guid()));
  ASSERT_NE(e.get(), nullptr);
  EXPECT_EQ(e->refCount(), 1);
  EXPECT_EQ(e->isOfExactType(MvKMBrep::classTypeID()), 1u);
  EXPECT_EQ(e->isOfExactType(*MvBase::__type), 0u);
  EXPECT_EQ(e->isOfType(*MvBase::__type), 1u);
  EXPECT_EQ(e->isStreamable(), 1u);
  EXPECT_EQ(&e->type(), MvKMBrep::classTypePtr());
  EXPECT_EQ(e->typeGUID(), MvKMBrep::classTypeID().guid());

  // A distinct record carrying the same GUID is not the type.
  MvType twin(MvKMBrep::classTypeID().guid(), MvString("twin"), MvBase::__type, nullptr);
  EXPECT_EQ(e->isOfExactType(twin), 0u);
  EXPECT_EQ(e->isOfType(twin), 0u);

  // The holder is created by type only once the host registered it.
  const MvGUID holderGuid(
      mvMakeIID(0x873A70E1, 0x2AC9, 0x11D1, 0x9B, 0x6B, 0x00, 0x80, 0xC7, 0xBB, 0x59, 0x97));
  EXPECT_EQ(MvType::createInstance(holderGuid), nullptr);
  MvKMBrepOnFly::constructType();
  MvAutoPtr<MvBase> h(MvType::createInstance(holderGuid));
  ASSERT_NE(h.get(), nullptr);
  EXPECT_EQ(h->isOfExactType(MvKMBrepOnFly::classTypeID()), 1u);
  EXPECT_EQ(h->isOfExactType(MvKMBrep::classTypeID()), 0u);
  MvKMBrepOnFly::destructType();

  // Creation fails cleanly without memory.
  MvHeap::failAt(0);
  EXPECT_EQ(MvKMBrep::createInstance(), nullptr);
  MvHeap::disarm();
}

TEST_F(TypeIdentityTest, CloneCopiesThroughTheCopyConstructor) {
  MvKMBrep::setKmCopyCallback(fake::copy);
  MvKMBrep::setKmReleaseCallback(fake::release);
  MvAutoPtr<MvKMBrep> e(new MvKMBrep());
  e->appendKmPart(fake::tags({5, 6}), 1);
  MvBase* out = reinterpret_cast<MvBase*>(e.get());
  MvBase& asBase = *e;
  EXPECT_EQ(asBase._clone(out), 1u);
  ASSERT_NE(out, nullptr);
  MvAutoPtr<MvBase> clone(out);
  EXPECT_EQ(clone->refCount(), 1);
  EXPECT_EQ(fake::toStd(static_cast<MvKMBrep*>(out)->kmPart()), (std::vector<int>{1000, 1001}));

  // No memory: 0 and a null result.
  MvHeap::failAt(0);
  EXPECT_EQ(asBase._clone(out), 0u);
  MvHeap::disarm();
  EXPECT_EQ(out, nullptr);

  // A throwing copy constructor: 0, null, the exception stops here.
  fake::calls().throwCopyAt = static_cast<int>(fake::calls().copiedFrom.size());
  out = clone.get();
  EXPECT_EQ(asBase._clone(out), 0u);
  EXPECT_EQ(out, nullptr);
}

}  // namespace
