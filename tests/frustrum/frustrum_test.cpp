// The frustrum: file names, schema files, text headers, file streams of any size, the table of open streams,
// keyless streams on the current host stream with the element's transmit and receive, graphical output segments.
#include "MvKMBrep61.h"
#include "base/current_host_stream.h"
#include "support/fake_kernel_callbacks.h"
#include "support/frustrum_kernel.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>
#if defined(_WIN32)
#include <io.h>
#endif

namespace {

namespace fs = std::filesystem;

using testfiles::pattern;
using testfiles::readAll;
using testfiles::writeAll;

// Calls an entry point with ifail as its last argument and gives the status.
template <class EntryPoint, class... Args>
int call(EntryPoint entryPoint, Args... args) {
  int ifail = -5;
  entryPoint(args..., &ifail);
  return ifail;
}

// Lengths of -1 stand for the key's and the header's own.
int openWrite(int guise, int format, const std::string& key, const std::string& header, int& id,
              int keyLength = -1, int headerLength = -1) {
  if (keyLength == -1) keyLength = static_cast<int>(key.size());
  if (headerLength == -1) headerLength = static_cast<int>(header.size());
  return call(openWriteFrustrumFile, &guise, &format, key.c_str(), &keyLength, header.data(), &headerLength, &id);
}

int openRead(int guise, int format, const std::string& key, int skip, int& id) {
  const int keyLength = static_cast<int>(key.size());
  return call(openReadFrustrumFile, &guise, &format, key.c_str(), &keyLength, &skip, &id);
}

int writeTo(int guise, int id, const std::string& bytes) {
  const int count = static_cast<int>(bytes.size());
  return call(writeToFrustrumFile, &guise, &id, &count, bytes.data());
}

// Reads up to maxCount bytes into `out` (replaced).
int readFrom(int guise, int id, int maxCount, std::string& out) {
  std::vector<char> buffer(static_cast<std::size_t>(maxCount));
  int delivered = -5;
  const int status = call(readFromFrustrumFile, &guise, &id, &maxCount, buffer.data(), &delivered);
  out.assign(buffer.data(), static_cast<std::size_t>(delivered > 0 ? delivered : 0));
  return status;
}

int closeStream(int guise, int id, int action) { return call(closeFrustrumFile, &guise, &id, &action); }

// Opens `key` for writing, writes `data` unless it is empty and closes it; gives the first failing status.
int writeStream(int guise, int format, const std::string& key, const std::string& header,
                const std::string& data = "") {
  int id = 0, status = openWrite(guise, format, key, header, id);
  if (status == 0 && !data.empty()) status = writeTo(guise, id, data);
  return status != 0 ? status : closeStream(guise, id, 1);
}

// Opens `key` for reading, reads it to its end (which must report end of data) in reads of at most maxCount bytes,
// closes it and gives its bytes; "status N" when it does not open.
std::string readBack(int guise, int format, const std::string& key, int skip, int maxCount = 4096) {
  int id = 0;
  const int opened = openRead(guise, format, key, skip, id);
  if (opened != 0) return "status " + std::to_string(opened);
  std::string all, got;
  int status = 0;
  while ((status = readFrom(guise, id, maxCount, got)) == 0) all += got;
  EXPECT_EQ(status, MV_FR_END_OF_DATA);
  EXPECT_EQ(closeStream(guise, id, 1), 0);
  return all;
}

// Opens a host-stream record for writing and gives its id, or the status negated.
int openRecord() {
  int id = 0;
  const int status = openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "", id);
  return status == 0 ? id : -status;
}

// Every test starts and ends with a started frustrum holding no stream, and has a scratch folder of its own.
class FrustrumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    call(stopFileFrustrum);
    ASSERT_EQ(call(startFileFrustrum), 0);
  }
  void TearDown() override {
    call(stopFileFrustrum);
    MvHeap::disarm();
    MvErrorState::clear();
  }
  const testfiles::ScratchDir dir;
};

class HeaderTest : public FrustrumTest {};
class NamingTest : public FrustrumTest {};
class TransferTest : public FrustrumTest {};
class StreamTableTest : public FrustrumTest {};
class HostStreamTest : public FrustrumTest {};

const std::string kBanner1 = "**ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz" + std::string(26, '*') + "\n";
const std::string kBanner2 = "**KORVANITE !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~0123456789" + std::string(26, '*') + "\n";
const std::string kEndLine = "**END_OF_HEADER" + std::string(65, '*') + "\n";

TEST_F(HeaderTest, WritesTheTextHeaderByteForByte) {
  const std::string key = dir / "part";
  ASSERT_EQ(writeStream(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, key, "A=1;B=2;C", "DATA"), 0);
  EXPECT_EQ(readAll(key + ".x_t"),
            kBanner1 + kBanner2 +
                "**PART1;\nMC=unknown;\nMC_MODEL=unknown;\nMC_ID=unknown;\nOS=unknown;\nOS_RELEASE=unknown;\n"
                "FRU=rvk_korvanite_customer_support;\nAPPL=Example Application;\nSITE=unknown;\nUSER=unknown;\n"
                "FORMAT=text;\nGUISE=transmit;\nKEY=" +
                key + ";\nFILE=" + key + ".x_t;\nDATE=unknown;\n**PART2;\nA=1;\nB=2;\n**PART3;\n" + kEndLine + "DATA");

  ASSERT_EQ(writeStream(MV_GUISE_DEBUG_REPORT, MV_FORMAT_TEXT, dir / "report", "A=1;", "<r/>"), 0);
  EXPECT_EQ(readAll(dir / "report.xml"), "<?xml version=\"1.0\" ?><r/>");
}

// Keys with control characters are refused as bad names (they would break the header's lines); a negative
// header length is no data; header data holding a NUL byte or a run longer than the line buffer is written whole.
TEST_F(HeaderTest, KeysAndHeaderDataAtTheirLimits) {
  const std::string key = dir / "part", run = std::string(1000, 'x') + ";";
  const struct {
    std::string key, header;
    int headerLength, status;  // header length -1: the header's own
    std::string part2;  // between "**PART2;\n" and "**PART3;\n"
  } cases[] = {{key + "\nX", "", -1, MV_FR_NAME_TOO_LONG, ""}, {key + "\tX", "", -1, MV_FR_NAME_TOO_LONG, ""},
               {key, "A=1;", -4, MV_FR_OK, ""}, {key, run, -1, MV_FR_OK, run + "\n"},
               {key, std::string("A\0B;C", 6), -1, MV_FR_OK, std::string("A\0B;\n", 5)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << &c - cases);
    fs::remove(key + ".x_t");
    int id = 0;
    EXPECT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, c.key, c.header, id, -1, c.headerLength), c.status);
    if (c.status != MV_FR_OK) {
      EXPECT_EQ(id, -1);
      EXPECT_TRUE(fs::is_empty(dir.str()));
      continue;
    }
    EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);
    EXPECT_NE(readAll(key + ".x_t").find("**PART2;\n" + c.part2 + "**PART3;\n"), std::string::npos);
  }
}

TEST_F(HeaderTest, AFailedSkipDropsTheStreamAndItsIdAndReadingSkipsTheHeader) {
  const std::string file = kBanner1 + "any\n" + kEndLine + "payload";
  writeAll(dir / "part.x_t", file);
  int id = 0;
  // No memory for the line buffer (allocation 1, after the record); first: the buffer lives until the frustrum stops.
  MvHeap::failAt(1);
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "part", 1, id), MV_FR_UNSPECIFIED);
  MvHeap::disarm();
  EXPECT_EQ(id, -1);
  // No end-of-header line.
  writeAll(dir / "cut.x_t", kBanner1 + kBanner2 + "**PART1;\n");
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "cut", 1, id), MV_FR_END_OF_DATA);
  EXPECT_EQ(id, -1);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  EXPECT_EQ(openRecord(), 1);  // the ids were given back

  EXPECT_EQ(readBack(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "part", 1), "payload");
  EXPECT_EQ(readBack(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "part", 0), file);
  // Without a header the skip rewinds.
  writeAll(dir / "plain.x_t", "first line\nsecond\n");
  EXPECT_EQ(readBack(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "plain", 1), "first line\nsecond\n");
}

TEST_F(NamingTest, EveryGuiseAndFormatHasItsNamesOfAtMost255Characters) {
  const std::string key = dir / "p";
  // The name written, then the short and the long name tried when reading.
  const struct {
    int guise, format;
    const char *written, *shortName, *longName;
  } cases[] = {
      {1, 1, "_b", "_b", "_bin"},         {1, 2, "_t", "_t", "_txt"},         {1, 3, "", "", ""},
      {2, 1, ".n_b", ".n_b", ".snp_bin"}, {2, 2, ".n_t", ".n_t", ".snp_txt"}, {3, 2, ".j_t", ".j_t", ".jnl_txt"},
      {4, 1, ".x_b", ".x_b", ".xmt_bin"}, {4, 2, ".x_t", ".x_t", ".xmt_txt"}, {4, 7, ".x", ".x", ".xmt"},
      {5, 1, ".xmt", ".xmt", ".xmt"},     {5, 2, ".xmt", ".xmt", ".xmt"},     {8, 2, ".p_t", ".p_t", ".xmp_txt"},
      {9, 1, ".d_b", ".d_b", ".xmd_bin"}, {10, 1, ".xml", ".xml_b", ".xml_bin"},
      {10, 2, ".xml", ".xml_t", ".xml_txt"}, {7, 2, "_t", "_t", "_txt"},   {42, 1, "_b", "_b", "_bin"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "guise " << c.guise << " format " << c.format);
    ASSERT_EQ(writeStream(c.guise, c.format, key, ""), 0);
    EXPECT_TRUE(fs::remove(key + c.written));
    EXPECT_TRUE(fs::is_empty(dir.str()));
    // The short name wins.
    writeAll(key + c.longName, "long");
    writeAll(key + c.shortName, "short");
    EXPECT_EQ(readBack(c.guise, c.format, key, 0), "short");
    fs::remove(key + c.shortName);
    EXPECT_EQ(readBack(c.guise, c.format, key, 0), std::string(c.shortName) == c.longName ? "status 2" : "long");
    fs::remove(key + c.longName);
  }
  int id = 0;
  // 252 characters and ".x_t" make 256; 251 fit.
  const std::string longKey = dir / std::string(251 - dir.str().size(), 'k');
  EXPECT_EQ(openWrite(4, 2, longKey, "", id), MV_FR_NAME_TOO_LONG);
  EXPECT_EQ(openRead(4, 2, longKey, 0, id), MV_FR_NAME_TOO_LONG);
  EXPECT_EQ(id, -1);
  ASSERT_EQ(openWrite(4, 2, longKey.substr(0, 251), "", id), 0);
  EXPECT_EQ(closeStream(4, id, 2), 0);
  EXPECT_TRUE(fs::is_empty(dir.str()));
  // The key's length counts, not a NUL-terminated text behind it.
  const std::string withTail = dir / "abcdTAIL";
  EXPECT_EQ(openWrite(4, 2, withTail, "", id, static_cast<int>(withTail.size()) - 4), 0);
  EXPECT_EQ(closeStream(4, id, 1), 0);
  EXPECT_TRUE(fs::exists(dir / "abcd.x_t"));
}

TEST_F(NamingTest, SchemaFilesLiveInTheSchemaDirectory) {
  testfiles::setEnv("MV_KORV_SUPPORT_PATH", dir.str().c_str());
  MvKMBrepLib::init();
  // Written under the key as given, inside the directory.
  ASSERT_EQ(writeStream(MV_GUISE_SCHEMA, MV_FORMAT_TEXT, "Body", "", "mixed"), 0);
  EXPECT_NE(readAll(dir / "Body.s_t").find("KEY=Body;\nFILE=" + (dir / "Body.s_t") + ";\n"), std::string::npos);
  // Read back: the lower-cased names are missing, the key as given is found.
  EXPECT_EQ(readBack(MV_GUISE_SCHEMA, MV_FORMAT_TEXT, "Body", 1), "mixed");
  // Lower-cased names come first: short, then long. The mixed-case file steps aside while the long name is tried: a
  // file system that ignores case (Windows) would find it under the lower-cased short name.
  fs::remove(dir / "Body.s_t");
  writeAll(dir / "body.sch_txt", "lower long");
  EXPECT_EQ(readBack(MV_GUISE_SCHEMA, MV_FORMAT_TEXT, "BODY", 1), "lower long");
  writeAll(dir / "Body.s_t", "mixed");
  writeAll(dir / "body.s_t", "lower short");
  EXPECT_EQ(readBack(MV_GUISE_SCHEMA, MV_FORMAT_TEXT, "Body", 1), "lower short");
  EXPECT_EQ(readBack(MV_GUISE_SCHEMA, MV_FORMAT_BINARY, "Body", 1), "status 2");
  // A directory too long to join leaves the name as it is.
  MvKMBrepLib::fini();
  testfiles::setEnv("MV_KORV_SUPPORT_PATH", std::string(250, 'd').c_str());
  MvKMBrepLib::init();
  ASSERT_EQ(writeStream(MV_GUISE_SCHEMA, MV_FORMAT_BINARY, dir / "short", ""), 0);
  EXPECT_TRUE(fs::exists(dir / "short.s_b"));
  MvKMBrepLib::fini();
  testfiles::setEnv("MV_KORV_SUPPORT_PATH", nullptr);
}

TEST_F(TransferTest, WrongStreamGuiseDirectionOrUnsafeArgumentsAreRefusedWith99) {
  writeAll(dir / "in.x_b", "input");
  int out = 0, in = 0, id = 0, delivered = -5;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "out", "", out), 0);
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "in", 0, in), 0);
  const std::size_t headerSize = readAll(dir / "out.x_b").size();
  const int guise = MV_GUISE_TRANSMIT, negative = -1, one = 1, zero = 0;
  char buffer[4];
  std::string got;
  // Unknown id, wrong guise, wrong direction; then null pointers and negative counts.
  const std::vector<int> statuses = {
      writeTo(MV_GUISE_TRANSMIT, 9, "x"), writeTo(MV_GUISE_SNAPSHOT, out, "x"), writeTo(MV_GUISE_TRANSMIT, in, "x"),
      readFrom(MV_GUISE_TRANSMIT, 9, 10, got), readFrom(MV_GUISE_SNAPSHOT, in, 10, got),
      readFrom(MV_GUISE_TRANSMIT, out, 10, got), call(writeToFrustrumFile, &guise, &out, &negative, "x"),
      call(writeToFrustrumFile, &guise, &out, &one, nullptr), call(closeFrustrumFile, &guise, &out, nullptr),
      call(readFromFrustrumFile, &guise, &in, &negative, buffer, &delivered),
      call(readFromFrustrumFile, &guise, &in, &one, nullptr, &delivered),
      call(openWriteFrustrumFile, &guise, &guise, nullptr, &one, "", &zero, &id),
      call(openWriteFrustrumFile, &guise, &guise, "k", &one, nullptr, &one, &id),
      call(openReadFrustrumFile, &guise, &guise, "k", &one, nullptr, &id)};
  EXPECT_EQ(statuses, std::vector<int>(14, MV_FR_UNSPECIFIED));
  EXPECT_EQ(delivered, 0);
  EXPECT_EQ(id, -1);
  // Nothing was written and both streams work: a read of more than is left gives the rest, the next end of data.
  EXPECT_EQ(readAll(dir / "out.x_b").size(), headerSize);
  // A read of 0 bytes is no overrun: it delivers nothing, as end of data.
  delivered = -5;
  EXPECT_EQ(call(readFromFrustrumFile, &guise, &in, &zero, buffer, &delivered), MV_FR_END_OF_DATA);
  EXPECT_EQ(delivered, 0);
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, in, 100, got), 0);
  EXPECT_EQ(got, "input");
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, in, 100, got), MV_FR_END_OF_DATA);
  EXPECT_EQ(got, "");
}

TEST_F(TransferTest, BlocksOfAnySizeRoundTripAndAJournalIsOnDiskAfterEveryWrite) {
  const std::string data = pattern(700 * 1024 + 13);
  int id = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "big", "A=1;", id), 0);
  const std::size_t sizes[] = {4096, 1, 70000, 333, 65536, 4095};
  for (std::size_t at = 0, k = 0; at < data.size(); at += sizes[k++ % 6])
    ASSERT_EQ(writeTo(MV_GUISE_TRANSMIT, id, data.substr(at, sizes[k % 6])), 0);
  ASSERT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);
  for (int maxCount : {4096, 100000, 7})
    EXPECT_TRUE(readBack(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "big", 1, maxCount) == data) << maxCount;

  // A journal is on disk after every write: past one buffer's worth, then a few bytes more.
  ASSERT_EQ(openWrite(MV_GUISE_JOURNAL, MV_FORMAT_BINARY, dir / "log", "", id), 0);
  const std::string first = data.substr(0, 100 * 1024);
  ASSERT_EQ(writeTo(MV_GUISE_JOURNAL, id, first), 0);
  const std::string afterFirst = readAll(dir / "log.j_b");
  ASSERT_GT(afterFirst.size(), first.size());
  const std::string header = afterFirst.substr(0, afterFirst.size() - first.size());
  EXPECT_EQ(afterFirst, header + first);
  EXPECT_TRUE(header.rfind("**END_OF_HEADER") == header.size() - 81);
  ASSERT_EQ(writeTo(MV_GUISE_JOURNAL, id, "tail"), 0);
  EXPECT_TRUE(readAll(dir / "log.j_b") == header + first + "tail");
}

TEST_F(TransferTest, CloseActionsAndDoubleClose) {
  int id = 0;
  // An abandoned file is removed even with data still waiting to be written.
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "gone", "", id), 0);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, id, pattern(150 * 1024 + 5)), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 2), 0);
  EXPECT_FALSE(fs::exists(dir / "gone.x_b"));
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), MV_FR_CLOSE_FAILED);
  // Abandoning a read stream keeps its file; a host-stream record has none.
  writeAll(dir / "kept.x_b", "kept");
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "kept", 0, id), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 2), 0);
  EXPECT_EQ(readAll(dir / "kept.x_b"), "kept");
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, openRecord(), 2), 0);
}

TEST_F(TransferTest, AFullDeviceDropsTheStreamAndKeepsTheFile) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no always-full device like /dev/full (Windows has none)";
  // Rollback guise and an unknown format add nothing to the key. The header is flushed at the open, so even a
  // short one fails there, not at the close, whatever the stdio buffer holds.
  for (const std::string& header : {std::string(1 << 17, 'h') + ";", std::string()}) {
    int id = 0, osError = 0;
    EXPECT_EQ(openWrite(MV_GUISE_ROLLBACK, 3, "/dev/full", header, id), MV_FR_WRITE_FAILED);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(mvFrustrumLastSystemFailure(&osError), MV_FR_WRITE_FAILED);
    EXPECT_EQ(osError, ENOSPC);
  }
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  EXPECT_EQ(openRecord(), 1);
}

TEST_F(TransferTest, ASystemFailureKeepsTheSystemsErrorNumber) {
  int id = 0, osError = -1;
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "missing", 0, id), MV_FR_NO_FILE);
  EXPECT_EQ(mvFrustrumLastSystemFailure(&osError), MV_FR_NO_FILE);
  EXPECT_EQ(osError, ENOENT);
  EXPECT_EQ(mvFrustrumLastSystemFailure(&osError), 0);
  EXPECT_EQ(osError, 0);
  EXPECT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "none/k", "", id), MV_FR_OPEN_FAILED);
  EXPECT_EQ(mvFrustrumLastSystemFailure(&osError), MV_FR_OPEN_FAILED);
  EXPECT_EQ(osError, ENOENT);
}

// The files the process holds open (on Windows, the C runtime's descriptors of open file handles).
int openFileDescriptors() {
  int n = 0;
#if defined(_WIN32)
  for (int fd = 0; fd < 2048; ++fd) n += _get_osfhandle(fd) != -1;
#else
  for (auto it = fs::directory_iterator("/proc/self/fd"); it != fs::directory_iterator(); ++it) ++n;
#endif
  return n;
}

TEST_F(StreamTableTest, ThirtyTwoStreamsAtOnceAndIdsReusedLowestFirst) {
  for (int i = 1; i <= 32; ++i) EXPECT_EQ(openRecord(), i);
  EXPECT_EQ(openRecord(), -MV_FR_OPEN_FAILED);
  int id = 0;
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", 0, id), MV_FR_OPEN_FAILED);
  EXPECT_EQ(id, -1);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 32);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, 7, 1), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, 5, 1), 0);
  EXPECT_EQ(openRecord(), 5);
  EXPECT_EQ(openRecord(), 7);
  // After a stop without a start no id is free.
  call(stopFileFrustrum);
  EXPECT_EQ(openRecord(), -MV_FR_OPEN_FAILED);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  // A start while streams are open keeps their ids taken.
  call(startFileFrustrum);
  EXPECT_EQ(openRecord(), 1);
  call(startFileFrustrum);
  EXPECT_EQ(openRecord(), 2);
}

TEST_F(StreamTableTest, FailedRecordsAbortAndStopLeaveNoFileOpen) {
  writeAll(dir / "in.x_b", "bytes");
  const int descriptors = openFileDescriptors();
  int id = 0;
  // A record that cannot be allocated: 10, and the file is closed (and removed when the open created it).
  MvHeap::failAt(0);
  EXPECT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "out", "A;", id), MV_FR_OPEN_FAILED);
  EXPECT_EQ(id, -1);
  MvHeap::failAt(0);
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "in", 0, id), MV_FR_OPEN_FAILED);
  MvHeap::failAt(0);
  EXPECT_EQ(openRecord(), -MV_FR_OPEN_FAILED);
  EXPECT_EQ(MvHeap::injectedFailures(), 1);
  MvHeap::disarm();
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  EXPECT_EQ(openFileDescriptors(), descriptors);
  EXPECT_FALSE(fs::exists(dir / "out.x_b"));
  EXPECT_EQ(readBack(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "in", 0), "bytes");

  // Abort keeps the streams open; stop closes the file with every byte written and frees records, not the host stream.
  MvAutoPtr<MvMemoryStream> stream = new MvMemoryStream("0123456789", 10);
  mvkm::CurrentHostStream current(*stream);
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "f", "", id), 0);
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, "", 1, id), 0);
  EXPECT_EQ(openRecord(), 3);  // the failed opens gave their ids back
  EXPECT_EQ(call(abortFileFrustrum), 0);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, 1, "kept"), 0);
  EXPECT_EQ(call(stopFileFrustrum), 0);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  EXPECT_EQ(openFileDescriptors(), descriptors);
  EXPECT_EQ(readAll(dir / "f.x_b").substr(readAll(dir / "f.x_b").size() - 4), "kept");
  EXPECT_EQ(stream->refCount(), 2);
  EXPECT_EQ(std::string(stream->data(), stream->size()), "0123456789");
}

TEST_F(HostStreamTest, TransfersNeedACurrentHostStreamAndStayInsideItsSegment) {
  int out = 0, in = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "A=1;", out), 0);
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, "", 0, in), 0);
  std::string got;
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, out, "x"), MV_FR_WRITE_FAILED);
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, in, 10, got), MV_FR_READ_FAILED);
  EXPECT_EQ(got, "");
  // The streams stay open and usable once a stream is current.
  MvAutoPtr<MvMemoryStream> stream = new MvMemoryStream("head", 4);
  ASSERT_TRUE(stream->seek(4));
  mvkm::CurrentHostStream current(*stream);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, out, std::string("abc\0\n", 5)), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, out, 1), 0);
  // A key whose first character is NUL is no key.
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, std::string("\0ab", 3), "", out), 0);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, out, "z"), 0);
  EXPECT_EQ(std::string(stream->data(), stream->size()), std::string("headabc\0\nz", 10));

  // Reads stop at the segment end.
  MvAutoPtr<MvMemoryStream> segment = new MvMemoryStream(std::string(500, 's').data(), 500);
  ASSERT_TRUE(segment->seek(100));
  {
    mvkm::CurrentHostStream inner(*segment);
    mvkm::gKmStream.pos = 400;
    EXPECT_EQ(readBack(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, "", 1, 1000), std::string(300, 's'));
    EXPECT_EQ(segment->refCount(), 2);
    EXPECT_EQ(stream->refCount(), 1);  // the stream made current before was dropped
  }
  // The guard gave the stream back and cleared the segment end.
  EXPECT_EQ(segment->refCount(), 1);
  EXPECT_EQ(mvFrustrumHasHostStream(), 0);
  EXPECT_EQ(mvFrustrumSegmentEnd(), 0);
}

int* handedOut = nullptr;  // the last array the read callback handed out
int* splitTags = nullptr;  // the array the split callback got
unsigned splitResult = 1;

unsigned readKeeping(int& count, int*& tags) {
  const unsigned ok = tinykernel::read(count, tags);
  handedOut = tags;
  return ok;
}

unsigned split(int count, int* tags, MvVec<int>& parts) {
  splitTags = tags;
  for (int i = 0; i < count; ++i) parts.append(-tags[i]);
  return splitResult;
}

// The current host stream is an empty memory stream.
class InMemoryTransmitTest : public fake::LibraryTest {
 protected:
  void SetUp() override {
    fake::LibraryTest::SetUp();
    tinykernel::install();
    MvKMBrep::setKmReadCallback(readKeeping);
    splitResult = 1;
  }
  void TearDown() override {
    tinykernel::uninstall();
    fake::LibraryTest::TearDown();
  }
  std::string receive(MvVec<int>& into) {
    EXPECT_TRUE(_stream->seek(0));
    return fake::outcome(MvKMBrep::getKmFromBinaryStream(into));
  }
  MvAutoPtr<MvMemoryStream> _stream = new MvMemoryStream();
  const mvkm::CurrentHostStream _current{*_stream};
};

TEST_F(InMemoryTransmitTest, TransmitThenReceiveThroughTheCurrentHostStream) {
  const auto transmit = [](const MvVec<int>& parts) { return fake::outcome(MvKMBrep::getBinaryStreamFromKm(parts)); };
  EXPECT_EQ(transmit(MvVec<int>()),
            "result 0; MvKMBrep::getBinaryStreamFromKm: kmPartList.length() > 0 (5); rethrown 0");
  MvKMBrep::setWriteNominalGeom(2);
  const MvVec<int> sent = fake::tags({7, 8, 9});
  EXPECT_EQ(transmit(sent), "result 1; rethrown 0");
  EXPECT_EQ(std::string(_stream->data(), _stream->size()), "T 7\nT 8\nT 9\n");
  tinykernel::state().failWrite = true;
  EXPECT_EQ(transmit(sent), "result 0; rethrown 1");
  // An unregistered write callback is reported, not called.
  MvKMBrep::setKmWriteCallback(nullptr);
  EXPECT_EQ(transmit(sent), "result 0; MvKMBrep::getBinaryStreamFromKm: _pfKmWriteCB != NULL (5); rethrown 0");
  // Called only with parts: the two writes, each of three parts with the flag.
  EXPECT_EQ(tinykernel::state().writtenCounts, (std::vector<int>{3, 3}));
  EXPECT_EQ(tinykernel::state().nominalFlags, (std::vector<unsigned>{2, 2}));

  // Received tags are appended after the parts the list held.
  mvkm::gKmStream.pos = _stream->size();  // the segment's end
  MvVec<int> parts = fake::tags({1}), splitParts;
  EXPECT_EQ(receive(parts), "result 1; rethrown 0");
  EXPECT_EQ(tinykernel::state().freed, 1);
  // Without a memory-release callback the tags stay appended.
  MvKMBrep::setKmMemoryRelCallback(nullptr);
  EXPECT_EQ(receive(parts), "result 0; MvKMBrep::getKmFromBinaryStream: _pfKmMemoryRelCB != NULL (5); rethrown 0");
  std::free(handedOut);
  // A failing read callback appends nothing and frees nothing.
  MvKMBrep::setKmMemoryRelCallback(tinykernel::freeTags);
  tinykernel::state().failRead = true;
  EXPECT_EQ(receive(parts), "result 0; rethrown 1");
  EXPECT_EQ(fake::toStd(parts), (std::vector<int>{1, 107, 108, 109, 107, 108, 109}));
  EXPECT_EQ(tinykernel::state().freed, 1);

  // The split callback gets the very array read and makes the parts; a failing split keeps the array.
  tinykernel::state().failRead = false;
  MvKMBrep::setKmSplitCallback(split);
  EXPECT_EQ(receive(splitParts), "result 1; rethrown 0");
  EXPECT_EQ(splitTags, handedOut);
  EXPECT_EQ(fake::toStd(splitParts), (std::vector<int>{-107, -108, -109}));
  EXPECT_EQ(tinykernel::state().freed, 2);
  splitResult = 0;
  EXPECT_EQ(receive(splitParts), "result 0; rethrown 1");
  EXPECT_EQ(tinykernel::state().freed, 2);
  std::free(handedOut);

  MvKMBrep::setKmReadCallback(nullptr);
  EXPECT_EQ(receive(parts), "result 0; MvKMBrep::getKmFromBinaryStream: _pfKmReadCB != NULL (5); rethrown 0");
}

using GoArgs = std::tuple<int, int, const int*, int, const double*, int, const int*>;
std::vector<GoArgs> goCalls;

int recordingGo(int a1, int a2, const int* a3, int a4, const double* a5, int a6, const int* a7) {
  goCalls.emplace_back(a1, a2, a3, a4, a5, a6, a7);
  return 7;
}

TEST(GraphicsTest, SegmentsReachTheCallbackUnchanged) {
  const int v1 = 1, v2 = 2, v4 = 4, v6 = 6, ints[] = {10, 11}, more[] = {20};
  const double doubles[] = {0.5};
  const auto segment = [&](auto entryPoint, const int* a2) {
    return call(entryPoint, &v1, a2, ints, &v4, doubles, &v6, more);
  };
  MvKMBrep::setKmGoCallback(nullptr);
  EXPECT_EQ(segment(mvOutputSegment, &v2), -1011);
  EXPECT_EQ(segment(mvOpenSegment, &v2), 0);
  EXPECT_EQ(segment(mvCloseSegment, &v2), 0);
  goCalls.clear();
  MvKMBrep::setKmGoCallback(recordingGo);
  EXPECT_EQ(segment(mvOutputSegment, &v2), 7);
  EXPECT_EQ(segment(mvOutputSegment, nullptr), MV_FR_UNSPECIFIED);  // without its values: dropped
  MvKMBrep::setKmGoCallback(nullptr);
  // The values, and the very arrays the kernel passed, not copies.
  EXPECT_EQ(goCalls, (std::vector<GoArgs>{{1, 2, ints, 4, doubles, 6, more}}));
}

}  // namespace
