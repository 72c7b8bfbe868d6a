// Object streams: integer bytes, object records through memory and real files, and damaged input.
#include "host/MvObjectStream.h"
#include "host/MvPartition.h"
#include "host/detail/crc32.h"
#include "host_test_util.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace host_test;
using testfiles::flipped;

namespace {

constexpr _MvIID kProbeIID = mvMakeIID(0x5E1F0001, 0x7A7A, 0x4B4B, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88);
constexpr _MvIID kStrangerIID = mvMakeIID(0x5E1F0002, 0x7A7A, 0x4B4B, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88);
const char* const kBadRecord = "0 <= length && record within stream";

// A streamable object whose record is `toRead` and its values; it reads back `toRead` values, so a record can make
// it read less or more than was written. Its values are left out of a host file's checksum, as a kernel's segment is.
struct Probe : MvBase {
  static inline MvType* s_type = nullptr;
  explicit Probe(std::vector<int> v = {}, int n = 0) : toRead(n), values(std::move(v)) {}
  const MvType& type() const override { return *s_type; }
  unsigned isStreamable() const override { return 1; }
  unsigned serialize(MvObjectStream& s) const override {
    int start = 0;
    unsigned ok = s.write(toRead) && s.getPosition(start);
    for (int v : values) ok = ok && s.write(v);
    s.excludeFromChecksum(start, 4 * static_cast<int>(values.size()));
    return ok;
  }
  unsigned deserialize(MvObjectStream& s) override {
    int start = 0;
    unsigned ok = s.read(toRead) && s.getPosition(start);
    values.assign(ok && toRead > 0 ? toRead : 0, 0);
    leftAfterCount = s.recordBytesLeft();
    for (int& v : values) ok = ok && s.read(v);
    s.excludeFromChecksum(start, 4 * static_cast<int>(values.size()));
    return ok;
  }
  int leftAfterCount = 0;
  int toRead;
  std::vector<int> values;
};

MvAutoPtr<Probe> probe(std::vector<int> values, int toRead) { return new Probe(std::move(values), toRead); }

std::string guidBytes(const _MvIID& iid) { return std::string(reinterpret_cast<const char*>(MvGUID(iid).bytes()), 16); }

class StreamsTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    MvBase::constructType();
    MvBase::createMvType(Probe::s_type, MvGUID(kProbeIID), MvString("Probe"), *MvBase::__type,
                         [] { return static_cast<MvBase*>(new Probe); });
    _probeType.reset(Probe::s_type);
  }

  // Reads a Probe with these values; gives the bytes its record had left after the count (-2: no Probe).
  static int expectProbe(MvObjectStream& s, const std::vector<int>& values) {
    MvAutoPtr<MvBase> obj;
    EXPECT_EQ(s.readObject(obj), 1u);
    const bool isProbe = obj.get() && obj->isOfExactType(*Probe::s_type);
    EXPECT_TRUE(isProbe);
    if (!isProbe) return -2;
    EXPECT_EQ(static_cast<Probe*>(obj.get())->values, values);
    return static_cast<Probe*>(obj.get())->leftAfterCount;
  }

  // Writes the objects to a new host file of the given version, which the file takes when it is created.
  static void writeFile(const std::string& path, std::initializer_list<MvAutoPtr<MvBase>> objects,
                        int major = MvPartition::kCurrentMajor, int minor = MvPartition::kCurrentMinor) {
    MvPartition::setVersion(major, minor);
    MvAutoPtr<MvFileStream> out = MvFileStream::create(path.c_str());
    MvPartition::setVersion(MvPartition::kCurrentMajor, MvPartition::kCurrentMinor);
    ASSERT_NE(out.get(), nullptr);
    for (const MvAutoPtr<MvBase>& obj : objects) ASSERT_TRUE(out->writeObject(obj));
    ASSERT_TRUE(out->close());
  }

  std::unique_ptr<MvType> _probeType;
  const testfiles::ScratchDir dir;
};

}  // namespace

TEST_F(StreamsTest, MemoryStreamBytes) {
  MvMemoryStream s;
  EXPECT_TRUE(s.write(0x01020304));
  EXPECT_TRUE(s.write(-2));
  EXPECT_EQ(std::string(s.data(), 8), std::string("\x04\x03\x02\x01\xFE\xFF\xFF\xFF", 8));
  int v = 0;
  EXPECT_TRUE(s.seek(4));
  EXPECT_TRUE(s.read(v));
  EXPECT_EQ(v, -2);
  expectRefused(s.read(v), "MvObjectStream", "readBytes", "nRead == count", 5);
  expectRefused(s.writeBytes(s.data(), INT_MAX - 4), "MvObjectStream", "writeBytes",  // would pass 2 GiB
                "position + count <= 2147483647", 5);
  EXPECT_EQ(s.size(), 8);
}

TEST_F(StreamsTest, ObjectsRoundTripThroughFile) {
  EXPECT_EQ(mv_detail::crc32Update(0, "123456789", 9), 0xCBF43926u);  // the CRC-32 check value
  const std::string path = dir / "objects.mvh";
  writeFile(path, {probe({5, 6, 7}, 3), nullptr, probe({-1}, 1)});

  // Header: magic and version 8.2; records: GUID, length, data (null: zero GUID and length); trailer: mark,
  // object count, CRC-32 of the bytes before it without the probes' values.
  const std::string records[] = {std::string("MV61HOST\x08\0\0\0\x02\0\0\0", 16) + guidBytes(kProbeIID) +
                                     std::string("\x10\0\0\0\x03\0\0\0", 8),
                                 std::string("\x05\0\0\0\x06\0\0\0\x07\0\0\0", 12),
                                 std::string(20, '\0') + guidBytes(kProbeIID) + std::string("\x08\0\0\0\x01\0\0\0", 8),
                                 std::string("\xFF\xFF\xFF\xFF", 4)};
  const std::uint32_t crc = mv_detail::crc32Update(mv_detail::crc32Update(0, records[0].data(), records[0].size()),
                                                   records[2].data(), records[2].size());
  EXPECT_EQ(testfiles::readAll(path), records[0] + records[1] + records[2] + records[3] + "MV61TAIL" +
                                 std::string("\x03\0\0\0", 4) + std::string(reinterpret_cast<const char*>(&crc), 4));

  MvAutoPtr<MvFileStream> in = MvFileStream::open(path.c_str());
  ASSERT_NE(in.get(), nullptr);
  EXPECT_EQ(std::make_pair(in->fileMajor(), in->fileMinor()), std::make_pair(8, 2));
  expectProbe(*in, {5, 6, 7});
  MvAutoPtr<MvBase> obj = new MvBase;
  EXPECT_TRUE(in->readObject(obj));
  EXPECT_EQ(obj.get(), nullptr);
  expectProbe(*in, {-1});
  EXPECT_TRUE(in->atEnd());
  EXPECT_EQ(in->objectCount(), 3);
  EXPECT_TRUE(in->checkTrailer());
  EXPECT_TRUE(MvErrorState::reports().empty());
}

// Files of older versions have no trailer and are read as they are; newer versions are refused at open.
TEST_F(StreamsTest, FileVersions) {
  const struct {
    int major, minor;
    bool opens, trailer;
  } cases[] = {{7, 0, true, false}, {8, 1, true, false}, {8, 2, true, true}, {8, 3, false, false}, {9, 0, false, false}};
  const std::string path = dir / "version.mvh";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.major * 10 + c.minor);
    MvErrorState::clear();
    writeFile(path, {probe({4}, 1)}, c.major, c.minor);
    EXPECT_EQ(testfiles::readAll(path).size(), 16u + 28u + (c.major * 10 + c.minor >= 82 ? 16u : 0u));
    MvAutoPtr<MvFileStream> in = MvFileStream::open(path.c_str());
    if (!c.opens) {
      expectRefused(in.get() != nullptr, "MvObjectStream", "open", "file version <= 8.2", 5);
      continue;
    }
    ASSERT_NE(in.get(), nullptr);
    EXPECT_EQ(in->hasTrailer(), c.trailer);
    expectProbe(*in, {4});
    EXPECT_TRUE(in->atEnd());
    EXPECT_TRUE(in->checkTrailer());
  }
}

TEST_F(StreamsTest, FileStreamMixesReadsAndWrites) {
  // A created file is read and written through one C stream: every switch must reposition it.
  const std::string path = dir / "mixed.mvh";
  MvAutoPtr<MvFileStream> f = MvFileStream::create(path.c_str());
  ASSERT_NE(f.get(), nullptr);
  int first = 0, third = 0, pos = 0;
  for (int v : {1, 2, 3}) EXPECT_TRUE(f->write(v));
  EXPECT_TRUE(f->seek(int{MvFileStream::kHeaderBytes}));
  // The write overwrites the second integer.
  EXPECT_TRUE(f->read(first));
  EXPECT_TRUE(f->write(20));
  EXPECT_TRUE(f->read(third));
  EXPECT_TRUE(f->getPosition(pos));
  EXPECT_TRUE(f->close());
  EXPECT_EQ(first, 1);
  EXPECT_EQ(third, 3);
  EXPECT_EQ(pos, 16 + 12);
  EXPECT_EQ(testfiles::readAll(path).substr(16, 12), std::string("\x01\0\0\0\x14\0\0\0\x03\0\0\0", 12));
}

// The trailer's checksum is kept in pieces while the file is written; it must equal the CRC-32 of the bytes
// outside the excluded segments however the stream was patched behind its end. The reference sums bit by bit.
TEST_F(StreamsTest, TrailerChecksumFollowsPatchesAndExcludedSegments) {
  struct Span {
    int at, length;
  };
  const struct {
    const char* name;
    int bytes;
    std::vector<Span> patches, excluded;
  } cases[] = {
      {"appended only", 200000, {}, {}}, {"whole chunks", 4 * 65536 - 16, {}, {}},
      {"patched", 200000, {{20, 4}, {65530, 12}, {199990, 10}}, {}},
      {"excluded", 200000, {}, {{100, 70000}, {131072, 65536}, {150000, 10}}},
      {"patched and excluded", 300000, {{70000, 100000}}, {{60000, 20000}, {250000, 50016}}},
      {"tail patched", 70000, {{65600, 10}}, {{65536, 1}}},
  };
  auto reference = [](const std::string& bytes, const std::vector<bool>& skip) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (skip[i]) continue;
      c ^= static_cast<unsigned char>(bytes[i]);
      for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xFFFFFFFFu;
  };
  const std::string path = dir / "checksum.mvh";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MvAutoPtr<MvFileStream> out = MvFileStream::create(path.c_str());
    ASSERT_NE(out.get(), nullptr);
    const std::string data = testfiles::pattern(static_cast<std::size_t>(c.bytes));
    for (int done = 0; done < c.bytes; done += 4093)  // blocks that straddle the chunks
      ASSERT_TRUE(out->writeBytes(data.data() + done, std::min(c.bytes - done, 4093)));
    for (const Span& p : c.patches)
      ASSERT_TRUE(out->seek(p.at) && out->writeBytes(std::string(p.length, '\xA5').data(), p.length));
    for (const Span& e : c.excluded) out->excludeFromChecksum(e.at, e.length);
    ASSERT_TRUE(out->close());
    const std::string bytes = testfiles::readAll(path);
    ASSERT_EQ(bytes.size(), 16u + c.bytes + 16u);
    const std::string body = bytes.substr(0, bytes.size() - 16);
    std::vector<bool> skip(body.size(), false);
    for (const Span& e : c.excluded)
      for (int i = e.at; i < e.at + e.length && i < static_cast<int>(body.size()); ++i) skip[i] = true;
    const std::uint32_t crc = reference(body, skip);
    EXPECT_EQ(bytes.substr(body.size() + 12), std::string(reinterpret_cast<const char*>(&crc), 4));
    EXPECT_EQ(mv_detail::crc32Update(0, body.data(), body.size()), reference(body, std::vector<bool>(body.size())));
    MvAutoPtr<MvFileStream> in = MvFileStream::open(path.c_str());
    ASSERT_NE(in.get(), nullptr);
    for (const Span& e : c.excluded) in->excludeFromChecksum(e.at, e.length);
    EXPECT_TRUE(in->checkTrailer());
  }
  EXPECT_TRUE(MvErrorState::reports().empty());
}

TEST_F(StreamsTest, RecordsAreSkippedAndBoundedByTheirLength) {
  MvMemoryStream s;
  // A record of a type nobody registered, a short reader, an over reader and a normal object.
  s.writeBytes(guidBytes(kStrangerIID).data(), 16);
  for (int v : {8, 1, 2}) s.write(v);
  for (const auto& p : {probe({1, 2, 3}, 1), probe({4}, 3), probe({8, 9}, 2)}) s.writeObject(p);
  s.seek(0);

  MvAutoPtr<MvBase> obj;
  expectRefused(s.readObject(obj), "MvObjectStream", "readObject", "type registered for GUID", 5);
  EXPECT_EQ(obj.get(), nullptr);
  EXPECT_EQ(expectProbe(s, {1}), 12);
  int pos = 0;  // after the record, though the object read less, which the stream tells
  EXPECT_TRUE(s.getPosition(pos));
  EXPECT_EQ(pos, 28 + 36);
  EXPECT_EQ(s.lastUnreadBytes(), 8);
  expectRefused(s.readObject(obj), "MvObjectStream", "readObject", "object read within its record", 5);
  expectProbe(s, {8, 9});
  EXPECT_TRUE(s.atEnd());
  EXPECT_EQ(s.lastUnreadBytes(), 0);
  EXPECT_EQ(s.recordBytesLeft(), -1);
  expectRefused(s.writeObject(MvAutoPtr<MvBase>(new MvBase)), "MvObjectStream", "writeObject", "obj->isStreamable()",
                5);
}

TEST_F(StreamsTest, DamagedInputGivesClearErrors) {
  MvAutoPtr<MvBase> obj;
  for (int badLength : {-1, 0x7FFFFFF0, 9}) {  // the second wraps a 32-bit record end
    MvMemoryStream s;
    EXPECT_TRUE(s.writeObject(probe({1}, 1)));
    EXPECT_TRUE(s.seek(16));
    EXPECT_TRUE(s.write(badLength));
    EXPECT_TRUE(s.seek(0));
    expectRefused(s.readObject(obj), "MvObjectStream", "readObject", kBadRecord, 5);
    EXPECT_TRUE(s.atEnd());
  }
  const std::string good = dir / "good.mvh", cut = dir / "cut.mvh";
  writeFile(good, {probe({1, 2}, 2), probe({3}, 1)});
  const std::string bytes = testfiles::readAll(good);  // header 16, records 32 and 28, trailer 16
  // {file contents, operation and condition reported (null: the file reads whole)}
  const std::tuple<std::string, const char*, const char*> damaged[] = {
      {bytes.substr(0, 16 + 32), "open", "trailer at the end of the file"},  // cut at a record boundary
      {bytes.substr(0, 16), "open", "trailer at the end of the file"},
      {bytes.substr(0, bytes.size() - 3), "open", "trailer at the end of the file"},
      {"MV61HOSX" + bytes.substr(8), "open", "file header magic"},
      // The first probe's count 2 -> 1.
      {flipped(bytes, 16 + 20, 3), "checkTrailer", "trailer checksum == file checksum"},
      {flipped(bytes, 16 + 32 + 16 + 2, 0x40), "readObject", kBadRecord},
      {flipped(bytes, bytes.size() - 8, 0x40), "checkTrailer", "trailer object count == objects read"},
      {flipped(bytes, 16 + 24, 0x40), nullptr, nullptr}};  // a value: left out of the checksum
  for (const auto& [contents, operation, condition] : damaged) {
    SCOPED_TRACE(condition ? condition : "whole");
    MvErrorState::clear();
    testfiles::writeAll(cut, contents);
    MvAutoPtr<MvFileStream> in = MvFileStream::open(cut.c_str());
    unsigned ok = in.get() != nullptr;
    while (ok && !in->atEnd()) ok = in->readObject(obj);
    if (ok) ok = in->checkTrailer();
    if (!operation) {
      EXPECT_TRUE(ok);
      EXPECT_TRUE(MvErrorState::reports().empty());
      continue;
    }
    expectRefused(ok, "MvObjectStream", operation, condition, 5);
  }
}
