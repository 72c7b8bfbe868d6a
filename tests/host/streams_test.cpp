// Object streams: integer bytes, positions, object records through memory
// and real files, and damaged input.
#include "host/MvObjectStream.h"
#include "host/MvPartition.h"
#include "host_test_util.h"

#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using host_test::expectLastReport;
using host_test::HostTest;

namespace {

constexpr _MvIID kProbeIID =
    mvMakeIID(0x5E1F0001, 0x7A7A, 0x4B4B, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88);
constexpr _MvIID kStrangerIID =
    mvMakeIID(0x5E1F0002, 0x7A7A, 0x4B4B, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88);

// A streamable object whose record is `toRead` followed by its values; its
// deserialize reads `toRead` values, so a record can make it read less or
// more than was written.
class Probe : public MvBase {
 public:
  static MvType* s_type;
  static MvBase* make() { return new Probe; }

  const MvType& type() const override { return *s_type; }
  unsigned isStreamable() const override { return 1; }
  unsigned serialize(MvObjectStream& s) const override {
    if (failSerialize) {
      MvErrorState::throwStdError("Probe", "serialize", "can serialize", 5);
      return 0;
    }
    if (!s.write(toRead)) return 0;
    for (int v : values)
      if (!s.write(v)) return 0;
    return 1;
  }
  unsigned deserialize(MvObjectStream& s) override {
    if (!s.read(toRead)) return 0;
    values.clear();
    for (int i = 0; i < toRead; ++i) {
      int v = 0;
      if (!s.read(v)) return 0;
      values.push_back(v);
    }
    return 1;
  }

  int toRead = 0;
  std::vector<int> values;
  bool failSerialize = false;
};
MvType* Probe::s_type = nullptr;

MvAutoPtr<Probe> makeProbe(std::vector<int> values, int toRead) {
  MvAutoPtr<Probe> p = new Probe;
  p->values = std::move(values);
  p->toRead = toRead;
  return p;
}

class StreamsTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    MvBase::constructType();
    MvType* t = nullptr;
    MvBase::createMvType(t, MvGUID(kProbeIID), MvString("Probe"), *MvBase::__type, Probe::make);
    _probeType.reset(t);
    Probe::s_type = t;
  }

  // Reads the next object and checks that it is a Probe with these values.
  static void expectProbe(MvObjectStream& s, const std::vector<int>& values) {
    MvAutoPtr<MvBase> obj;
    ASSERT_EQ(s.readObject(obj), 1u);
    ASSERT_NE(obj.get(), nullptr);
    ASSERT_EQ(obj->isOfExactType(*Probe::s_type), 1u);
    EXPECT_EQ(obj->isOfType(*MvBase::__type), 1u);
    EXPECT_TRUE(obj->typeGUID() == MvGUID(kProbeIID));
    EXPECT_EQ(static_cast<Probe*>(obj.get())->values, values);
  }

  std::unique_ptr<MvType> _probeType;
};

std::string fileBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string hostHeader(int major, int minor) {
  MvMemoryStream m;
  m.writeBytes("MV61HOST", 8);
  m.write(major);
  m.write(minor);
  return std::string(m.data(), 16);
}

// Positions shifted close to 2 GiB: checks that record ends are computed
// without 32-bit wrap-around.
class FarStream : public MvMemoryStream {
 public:
  static constexpr int kOffset = 2147483000;
  unsigned getPosition(int& pos) override {
    MvMemoryStream::getPosition(pos);
    pos += kOffset;
    return 1;
  }
  unsigned seek(int pos) override { return MvMemoryStream::seek(pos - kOffset); }
  unsigned getSize(int& size) override {
    size = this->size() + kOffset;
    return 1;
  }
};

}  // namespace

TEST_F(StreamsTest, MemoryStreamBytesAndPositions) {
  MvMemoryStream s;
  EXPECT_EQ(s.write(0x01020304), 1u);
  EXPECT_EQ(s.write(-2), 1u);
  EXPECT_EQ(std::string(s.data(), 8), std::string("\x04\x03\x02\x01\xFE\xFF\xFF\xFF", 8));
  int pos = 0;
  s.getPosition(pos);
  EXPECT_EQ(pos, 8);
  EXPECT_TRUE(s.atEnd());

  ASSERT_EQ(s.seek(2), 1u);
  EXPECT_EQ(s.writeBytes("AB", 2), 1u);
  EXPECT_EQ(s.size(), 8);
  EXPECT_EQ(std::string(s.data(), 8), std::string("\x04\x03" "AB\xFE\xFF\xFF\xFF", 8));
  s.seek(4);
  int v = 0;
  EXPECT_EQ(s.read(v), 1u);
  EXPECT_EQ(v, -2);

  EXPECT_EQ(s.seek(9), 0u);
  expectLastReport("MvObjectStream", "seek", "0 <= pos && pos <= size", 5);
  EXPECT_EQ(s.seek(-1), 0u);

  s.seek(6);
  EXPECT_EQ(s.read(v), 0u);
  expectLastReport("MvObjectStream", "readBytes", "nRead == count", 5);
  EXPECT_EQ(MvErrorState::rethrowCount(), 1);
  char buf[8];
  int nRead = -1;
  s.seek(5);
  EXPECT_EQ(s.readBytes(buf, 8, nRead), 0u);
  EXPECT_EQ(nRead, 3);

  EXPECT_EQ(s.writeBytes(buf, -1), 0u);
  expectLastReport("MvObjectStream", "writeBytes", "count >= 0 && (count == 0 || bytes != NULL)", 5);
  EXPECT_EQ(s.writeBytes(buf, INT_MAX - 4), 0u);
  expectLastReport("MvObjectStream", "writeBytes", "position + count <= 2147483647", 5);
  EXPECT_EQ(s.size(), 8);

  MvMemoryStream copy("\x2A\0\0\0", 4);
  EXPECT_EQ(copy.read(v), 1u);
  EXPECT_EQ(v, 42);
}

TEST_F(StreamsTest, ObjectsRoundTripThroughFile) {
  const auto path = host_test::testDir() / "objects.mvh";
  MvPartition::setVersion(9, 4);
  MvAutoPtr<MvFileStream> out = MvFileStream::create(path.string().c_str());
  MvPartition::setVersion(MvPartition::kCurrentMajor, MvPartition::kCurrentMinor);
  ASSERT_NE(out.get(), nullptr);
  int pos = 0;
  out->getPosition(pos);
  // Compared as a value: a mingw-w64 DLL does not export the constant's storage.
  EXPECT_EQ(pos, int{MvFileStream::kHeaderBytes});
  EXPECT_EQ(out->writeObject(makeProbe({5, 6, 7}, 3)), 1u);
  EXPECT_EQ(out->writeObject(nullptr), 1u);
  EXPECT_EQ(out->writeObject(makeProbe({-1}, 1)), 1u);
  EXPECT_EQ(out->close(), 1u);
  EXPECT_EQ(out->seek(0), 0u);
  expectLastReport("MvObjectStream", "seek", "file != NULL", 5);

  const std::string bytes = fileBytes(path);
  ASSERT_EQ(bytes.size(), 16u + (20 + 16) + (20 + 0) + (20 + 8));
  EXPECT_EQ(bytes.substr(0, 16), hostHeader(9, 4));
  EXPECT_EQ(bytes.substr(16, 16), std::string(reinterpret_cast<const char*>(MvGUID(kProbeIID).bytes()), 16));
  EXPECT_EQ(bytes.substr(32, 8), std::string("\x10\0\0\0\x03\0\0\0", 8));
  EXPECT_EQ(bytes.substr(52, 20), std::string(20, '\0'));

  MvAutoPtr<MvFileStream> in = MvFileStream::open(path.string().c_str());
  ASSERT_NE(in.get(), nullptr);
  EXPECT_EQ(in->fileMajor(), 9);
  EXPECT_EQ(in->fileMinor(), 4);
  expectProbe(*in, {5, 6, 7});
  MvAutoPtr<MvBase> obj = new MvBase;
  EXPECT_EQ(in->readObject(obj), 1u);
  EXPECT_EQ(obj.get(), nullptr);
  expectProbe(*in, {-1});
  EXPECT_TRUE(in->atEnd());
  EXPECT_EQ(in->write(1), 0u);
  expectLastReport("MvObjectStream", "writeBytes", "stream opened for writing", 5);
  EXPECT_TRUE(MvErrorState::reports().size() == 2u);
}

TEST_F(StreamsTest, RecordsAreSkippedAndBoundedByTheirLength) {
  MvMemoryStream s;
  // A record of a type nobody registered, then a short reader, an over
  // reader and a normal object.
  s.writeBytes(reinterpret_cast<const char*>(MvGUID(kStrangerIID).bytes()), 16);
  s.write(8);
  s.write(1);
  s.write(2);
  s.writeObject(makeProbe({1, 2, 3}, 1));
  s.writeObject(makeProbe({4}, 3));
  s.writeObject(makeProbe({8, 9}, 2));
  s.seek(0);

  MvAutoPtr<MvBase> obj;
  EXPECT_EQ(s.readObject(obj), 0u);
  expectLastReport("MvObjectStream", "readObject", "type registered for GUID", 5);
  EXPECT_EQ(obj.get(), nullptr);
  expectProbe(s, {1});
  int pos = 0;
  s.getPosition(pos);
  EXPECT_EQ(pos, 28 + 36);
  EXPECT_EQ(s.readObject(obj), 0u);
  expectLastReport("MvObjectStream", "readObject", "object read within its record", 5);
  expectProbe(s, {8, 9});
  EXPECT_TRUE(s.atEnd());

  MvAutoPtr<Probe> failing = makeProbe({}, 0);
  failing->failSerialize = true;
  MvErrorState::clear();
  EXPECT_EQ(s.writeObject(failing), 0u);
  expectLastReport("Probe", "serialize", "can serialize", 5);
  EXPECT_EQ(MvErrorState::rethrowCount(), 1);
  MvAutoPtr<MvBase> plain = new MvBase;
  EXPECT_EQ(s.writeObject(plain), 0u);
  expectLastReport("MvObjectStream", "writeObject", "obj->isStreamable()", 5);
}

TEST_F(StreamsTest, DamagedInputGivesClearErrors) {
  for (int badLength : {-1, 0x7FFFFFF0, 9}) {
    MvMemoryStream s;
    s.writeObject(makeProbe({1}, 1));
    s.seek(16);
    s.write(badLength);
    s.seek(0);
    MvAutoPtr<MvBase> obj;
    EXPECT_EQ(s.readObject(obj), 0u);
    expectLastReport("MvObjectStream", "readObject", "0 <= length && record within stream", 5);
    EXPECT_TRUE(s.atEnd());
  }

  FarStream far;
  far.writeBytes(reinterpret_cast<const char*>(MvGUID(kProbeIID).bytes()), 16);
  far.write(0x7FFFFF00);
  far.write(0);
  far.seek(FarStream::kOffset);
  MvAutoPtr<MvBase> obj;
  EXPECT_EQ(far.readObject(obj), 0u);
  expectLastReport("MvObjectStream", "readObject", "0 <= length && record within stream", 5);

  const auto dir = host_test::testDir();
  const auto good = dir / "good.mvh";
  {
    MvAutoPtr<MvFileStream> out = MvFileStream::create(good.string().c_str());
    ASSERT_NE(out.get(), nullptr);
    out->writeObject(makeProbe({1, 2}, 2));
    ASSERT_EQ(out->close(), 1u);
  }
  const std::string bytes = fileBytes(good);
  const auto cut = dir / "cut.mvh";
  writeFile(cut, bytes.substr(0, bytes.size() - 3));
  MvAutoPtr<MvFileStream> in = MvFileStream::open(cut.string().c_str());
  ASSERT_NE(in.get(), nullptr);
  EXPECT_EQ(in->readObject(obj), 0u);
  expectLastReport("MvObjectStream", "readObject", "0 <= length && record within stream", 5);

  writeFile(cut, bytes.substr(0, 16 + 10));
  in = MvFileStream::open(cut.string().c_str());
  ASSERT_NE(in.get(), nullptr);
  EXPECT_EQ(in->readObject(obj), 0u);
  expectLastReport("MvObjectStream", "readBytes", "nRead == count", 5);

  writeFile(cut, "MV61HOSX" + bytes.substr(8));
  EXPECT_EQ(MvFileStream::open(cut.string().c_str()), nullptr);
  expectLastReport("MvObjectStream", "open", "file header magic", 5);
  writeFile(cut, bytes.substr(0, 12));
  EXPECT_EQ(MvFileStream::open(cut.string().c_str()), nullptr);
  expectLastReport("MvObjectStream", "open", "file header complete", 5);
  EXPECT_EQ(MvFileStream::open((dir / "missing.mvh").string().c_str()), nullptr);
  expectLastReport("MvObjectStream", "open", "fopen(path, \"rb\") != NULL", 5);
  EXPECT_EQ(MvFileStream::create((dir / "no" / "such.mvh").string().c_str()), nullptr);
  expectLastReport("MvObjectStream", "create", "fopen(path, \"w+b\") != NULL", 5);
}

TEST_F(StreamsTest, FileStreamMixesReadsAndWrites) {
  const auto path = host_test::testDir() / "mixed.mvh";
  MvAutoPtr<MvFileStream> f = MvFileStream::create(path.string().c_str());
  ASSERT_NE(f.get(), nullptr);
  f->write(1);
  f->write(2);
  f->seek(16);
  int v = 0;
  EXPECT_EQ(f->read(v), 1u);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(f->write(7), 1u);  // overwrites the 2 right after a read
  f->seek(20);
  EXPECT_EQ(f->read(v), 1u);
  EXPECT_EQ(v, 7);
  EXPECT_EQ(f->write(-1), 1u);
  int size = 0;
  f->getSize(size);
  EXPECT_EQ(size, 28);
  EXPECT_TRUE(f->atEnd());
  EXPECT_EQ(f->read(v), 0u);
  ASSERT_EQ(f->close(), 1u);
  EXPECT_EQ(fileBytes(path).substr(16),
            std::string("\x01\0\0\0\x07\0\0\0\xFF\xFF\xFF\xFF", 12));
}
