// GUIDs, type records and registry, partition version, boxes and the
// toolkit's start and stop.
#include "host/MvBase.h"
#include "host/MvBox3f.h"
#include "host/MvLib.h"
#include "host/MvPartition.h"
#include "host_test_util.h"

#include <cstring>
#include <memory>

using host_test::HostTest;

namespace {

class TypesTest : public HostTest {};

constexpr _MvIID kSampleIID =
    mvMakeIID(0x873A70E0, 0x2AC9, 0x11D1, 0x9B, 0x6B, 0x00, 0x80, 0xC7, 0xBB, 0x59, 0x97);
constexpr _MvIID kChildIID =
    mvMakeIID(0x1B2C3D4E, 0x0001, 0x0002, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80);

int gMade = 0;
MvBase* makeBase() {
  ++gMade;
  return new MvBase;
}

}  // namespace

TEST_F(TypesTest, GuidByteOrderAndText) {
  const MvGUID g(kSampleIID);
  const unsigned char expected[16] = {0xE0, 0x70, 0x3A, 0x87, 0xC9, 0x2A, 0xD1, 0x11,
                                      0x9B, 0x6B, 0x00, 0x80, 0xC7, 0xBB, 0x59, 0x97};
  EXPECT_EQ(std::memcmp(g.bytes(), expected, 16), 0);
  EXPECT_EQ(g.toString(), "{873A70E0-2AC9-11D1-9B6B-0080C7BB5997}");
  EXPECT_FALSE(g.isNull());
  EXPECT_TRUE(MvGUID().isNull());
  EXPECT_TRUE(g == MvGUID(kSampleIID));
  EXPECT_TRUE(g != MvGUID(kChildIID));
}

TEST_F(TypesTest, TypeRegistry) {
  MvLib::init();
  ASSERT_NE(MvBase::__type, nullptr);
  MvType* raw = nullptr;
  MvBase::createMvType(raw, MvGUID(kSampleIID), MvString("Sample"), *MvBase::__type, makeBase);
  std::unique_ptr<MvType> sample(raw);
  ASSERT_NE(sample, nullptr);
  MvType* rawChild = nullptr;
  MvBase::createMvType(rawChild, MvGUID(kChildIID), MvString("Child"), *sample, nullptr);
  std::unique_ptr<MvType> child(rawChild);

  EXPECT_STREQ(sample->name().c_str(), "Sample");
  EXPECT_EQ(child->isA(*sample), 1u);
  EXPECT_EQ(child->isA(*MvBase::__type), 1u);
  EXPECT_EQ(sample->isA(*child), 0u);
  EXPECT_EQ(MvType::find(MvGUID(kSampleIID)), sample.get());

  gMade = 0;
  MvAutoPtr<MvBase> made = MvType::createInstance(MvGUID(kSampleIID));
  EXPECT_NE(made, nullptr);
  EXPECT_EQ(gMade, 1);
  EXPECT_EQ(MvType::createInstance(MvGUID(kChildIID)), nullptr);  // no factory

  const MvBase& base = *made;
  EXPECT_EQ(base.isOfType(*MvBase::__type), 1u);
  EXPECT_EQ(base.isOfExactType(*MvBase::__type), 1u);
  EXPECT_EQ(base.isOfExactType(*sample), 0u);
  EXPECT_TRUE(base.typeGUID() == MvBase::__type->guid());

  child.reset();
  sample.reset();
  EXPECT_EQ(MvType::find(MvGUID(kSampleIID)), nullptr);
  EXPECT_EQ(MvType::createInstance(MvGUID(kSampleIID)), nullptr);
  MvLib::fini();
}

TEST_F(TypesTest, PartitionBoxAndLib) {
  int major = 0;
  int minor = 0;
  EXPECT_EQ(MvPartition::getVersion(major, minor), 1u);
  // Compared as values: binding a reference to the constants would need
  // their storage, which a mingw-w64 DLL does not export.
  EXPECT_EQ(major, int{MvPartition::kCurrentMajor});
  EXPECT_EQ(minor, int{MvPartition::kCurrentMinor});
  MvPartition::setVersion(7, 3);
  MvPartition::getVersion(major, minor);
  EXPECT_EQ(major, 7);
  EXPECT_EQ(minor, 3);
  MvPartition::setVersion(MvPartition::kCurrentMajor, MvPartition::kCurrentMinor);

  MvBox3f box;
  EXPECT_EQ(box.isValid(), 0u);
  MvAVec<MvVec3<float>> points;
  points.append(MvVec3<float>{{1, -2, 3}});
  box.set(points);
  EXPECT_EQ(box.isValid(), 1u);
  points.append(MvVec3<float>{{-1, 5, 2}});
  box.set(points);
  EXPECT_EQ(box.getMin()[0], -1.0f);
  EXPECT_EQ(box.getMin()[1], -2.0f);
  EXPECT_EQ(box.getMax()[1], 5.0f);
  EXPECT_EQ(box.getMax()[2], 3.0f);
  box.set(MvAVec<MvVec3<float>>());
  EXPECT_EQ(box.isValid(), 0u);

  const int before = MvLib::initCount();
  MvLib::init();
  MvLib::init();
  EXPECT_EQ(MvLib::initCount(), before + 2);
  EXPECT_NE(MvSingleton<MvPlatform>::_pInstance.load(), nullptr);
  MvLib::fini();
  MvLib::fini();
  EXPECT_EQ(MvLib::initCount(), before);
  if (before == 0) {
    MvLib::fini();  // unmatched: ignored
    EXPECT_EQ(MvLib::initCount(), 0);
  }
}
