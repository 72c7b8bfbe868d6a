#include "support/fake_kernel_callbacks.h"

namespace {

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

  // The holder is created by type only once the host registered it; a second
  // registration keeps the first record, a second removal is harmless.
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
  MvHeap::disarm();
}

// _clone copies through the copy constructor; it gives 0 and a null result
// without memory and when the copy constructor throws.
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
  EXPECT_EQ(asBase._clone(out), 0u);
  MvHeap::disarm();
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(fake::reports(), (std::vector<fake::Report>{
                                 {"MvKMBrep", "_clone", "Allocation failed: out = new MvKMBrep(*this)", 20}}));
  MvErrorState::clear();

  fake::calls().throwCopyAt = 2;
  out = clone.get();
  EXPECT_EQ(asBase._clone(out), 0u);
  EXPECT_EQ(out, nullptr);
}

}  // namespace
