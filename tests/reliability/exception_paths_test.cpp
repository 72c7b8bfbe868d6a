// Every report path of the element, the frustrum's host-stream transfers, the tessellation and the holder, and bad
// kernel and host files and element records, one row each, throwing callbacks too; no row leaves anything behind.
#include "reliability/reliability_support.h"

#include <functional>
#include <string>

namespace rel {
namespace {

struct CallbackError {};
using K = MvKMBrep;
namespace cb = ksamplehost::callbacks;

// A memory stream whose writes, reads and position queries fail with a report after so many calls (-1: never).
struct FaultyStream : MvMemoryStream {
  int left[3];
  FaultyStream(const std::string& data, int writes, int reads, int positions)
      : MvMemoryStream(data.data(), static_cast<int>(data.size())), left{writes, reads, positions} {}
  unsigned writeBytes(const char* b, int count) override { return pass(0) && MvMemoryStream::writeBytes(b, count); }
  unsigned readBytes(char* b, int count, int& nRead) override {
    nRead = 0;
    return pass(1) && MvMemoryStream::readBytes(b, count, nRead);
  }
  unsigned getPosition(int& pos) override { return pass(2) && MvMemoryStream::getPosition(pos); }
  bool pass(int which) {
    if (left[which] < 0 || left[which]-- > 0) return true;
    MvErrorState::throwStdError("MvObjectStream", "transfer", "device failure", MvErrorState::kCondition);
    return false;
  }
};

// Callbacks that throw; those handed something to own give it back first.
template <class R, class... Args>
R throws(Args...) { throw CallbackError(); }
unsigned negativeVersion(int& major, int& minor) { return major = -1, minor = 0, 1u; }
unsigned splitThenThrow(int count, int* tags, MvVec<int>&) {
  ksample::deleteBodies(count, tags);
  ksample::freeTags(tags);
  throw CallbackError();
}
int copyCalls = 0;
unsigned copyThenThrow(int tag, int& copy) { return copyCalls++ == 1 ? throw CallbackError() : cb::copy(tag, copy); }
// The sample application's callback, then an exception.
template <auto callback, class R, class... Args>
R thenThrow(Args... args) {
  callback(args...);
  throw CallbackError();
}

// Puts the sample application's callbacks back when it goes.
struct RegisterCallbacks {
  ~RegisterCallbacks() { ksamplehost::registerCallbacks(ksamplehost::Options()); }
};

// What the rows work on, and the operations they share.
struct Scene {
  MvAutoPtr<K> e = elementOf(ksamplehost::buildDemoModel(3));  // must stay untouched
  MvAutoPtr<MvMemoryStream> stream = new MvMemoryStream();     // reused by some rows
  std::string record;                                          // e's record as serialize writes it
  K::KmBrepTessParams p = params();
  const std::string key = tempPath("bad_kernel");            // a kernel file, key + ".x_t"
  const std::string path = tempPath("bad_host") + ".mv61";  // a host file
  std::string kernelFile, hostFile;                          // good files, as written
  std::string kernelError;                                   // the kernel's reason for a refusal

  // Writes the good files: e's parts transmitted, e in a host file.
  void writeFiles() {
    const std::vector<int> parts = partsOf(*e);
    ksample::transmit(3, parts.data(), key.c_str(), static_cast<int>(key.size()), ksample::Format::Text);
    MvAutoPtr<MvFileStream> out(MvFileStream::create(path.c_str()));
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->writeObject(e));
    ASSERT_TRUE(out->close());
    kernelFile = readAll(key + ".x_t");
    hostFile = readAll(path);
  }
  // Receives the bytes as a kernel file (none at all when `missing`).
  unsigned receive(const std::string& bytes, bool missing = false) {
    std::remove((key + ".x_t").c_str());
    if (!missing) testfiles::writeAll(key + ".x_t", bytes);
    int count = 0;
    int* tags = nullptr;
    const int status = ksample::receive(key.c_str(), static_cast<int>(key.size()), ksample::Format::Text, count, tags);
    kernelError = ksample::lastError();
    EXPECT_EQ(count, 0);
    EXPECT_EQ(tags, nullptr);
    return status == ksample::kOk;
  }
  // Opens the bytes as a host file and reads an object, which is not made; the stream then stands at its end.
  unsigned readHost(const std::string& bytes) {
    testfiles::writeAll(path, bytes);
    MvAutoPtr<MvFileStream> in(MvFileStream::open(path.c_str()));
    MvAutoPtr<MvBase> obj;
    const unsigned ok = in && in->readObject(obj);
    kernelError = ksample::lastError();
    EXPECT_TRUE(!obj);
    EXPECT_TRUE((!in || in->atEnd()));
    return ok;
  }
  unsigned readBytes(const std::string& bytes) {
    MvAutoPtr<MvMemoryStream> in(new MvMemoryStream(bytes.data(), static_cast<int>(bytes.size())));
    const unsigned ok = e->deserialize(*in);
    kernelError = ksample::lastError();
    return ok;
  }

  unsigned write(MvObjectStream* to = nullptr) {
    MvAutoPtr<MvObjectStream> out(to ? to : stream.get());
    return e->serialize(*out);
  }
  // Reads the record, with the integer at `index` replaced, into e.
  unsigned read(int index = 0, int value = 1) {
    return readBytes(testfiles::setInt(record, 4 * static_cast<size_t>(index), value));
  }
  // Reads from the stream (the record when null) into a new element with one part.
  unsigned readNew(MvObjectStream* from = nullptr) {
    MvAutoPtr<MvObjectStream> in(from ? from : new MvMemoryStream(record.data(), static_cast<int>(record.size())));
    return elementOf(ksamplehost::buildDemoModel(1))->deserialize(*in);
  }
  // An element of two parts whose release then throws.
  static MvAutoPtr<K> releasingTarget() {
    MvAutoPtr<K> target = elementOf(ksamplehost::buildDemoModel(2));
    K::setKmReleaseCallback(thenThrow<cb::release>);
    return target;
  }
  unsigned faces(const K& of) {
    MvAutoPtrVec<MvTriStripSet> shapes;
    MvAVec<MvIVec<int>> maps;
    return of.getMvFaceShapeList(p = params(), shapes, maps, 1);
  }
  unsigned colors() {
    MvAutoPtrVec<MvTriStripSet> shapes;
    return e->getMvColorShapeList(p = params(), shapes);
  }
  unsigned edges() {
    MvAutoPtrVec<MvPolylineSet> lines;
    return e->getMvEdgeShape(p = params(), lines);
  }
};

// How a row ends: with the thrown report's condition, or one of these.
const std::string kThrows = "(the callback's exception)";
const std::string kZero = "(result 0)";
const char* const kBadVersion = "Invalid KMBrep version number";
using S = Scene;

struct Row {
  const char* path;
  std::string ends;
  std::function<unsigned(Scene&)> run;
};
const Row kRows[] = {
    {"serialize without write callback", "(_pfKmVersionCB != NULL) && (_pfKmWriteCB != NULL)",
     [](S& s) { K::setKmWriteCallback(nullptr); return s.write(); }},
    {"serialize into a host file of major version 7", "majorVer >= 8",
     [](S& s) { MvPartition::setVersion(7, 0); return s.write(); }},
    {"serialize, version callback throws", kThrows, [](S& s) { K::setKmVersionCallback(throws); return s.write(); }},
    {"serialize, negative kernel version", "_kmMajorV >= 0 && _kmMinorV >= 0",
     [](S& s) { K::setKmVersionCallback(negativeVersion); return s.write(); }},
    {"serialize, first stream write fails", "device failure",
     [](S& s) { return s.write(new FaultyStream("", 0, -1, -1)); }},
    {"serialize, stream position fails", "device failure",
     [](S& s) { return s.write(new FaultyStream("", -1, -1, 0)); }},
    // After the version, major, minor and length placeholder.
    {"serialize, frustrum write into the host stream fails", "device failure",
     [](S& s) { return s.write(new FaultyStream("", 4, -1, -1)); }},
    {"serialize, write callback throws", kThrows, [](S& s) { K::setKmWriteCallback(throws); return s.write(); }},
    {"serialize, kernel refuses an unknown part", kZero,
     [](S& s) { return elementOf({987654})->serialize(*s.stream); }},
    {"getBinaryStreamFromKm without parts", "kmPartList.length() > 0",
     [](S&) { return K::getBinaryStreamFromKm(MvVec<int>()); }},
    {"deserialize without read callback", "(_pfKmVersionCB != NULL) && (_pfKmReadCB != NULL)",
     [](S& s) { K::setKmReadCallback(nullptr); return s.read(); }},
    {"deserialize version 0", kBadVersion, [](S& s) { return s.read(0, 0); }},
    {"deserialize version 2", kBadVersion, [](S& s) { return s.read(0, 2); }},
    {"deserialize, version callback throws", kThrows, [](S& s) { K::setKmVersionCallback(throws); return s.read(); }},
    {"deserialize, negative running kernel version", "currKmMajorV >= 0 && currKmMinorV >= 0",
     [](S& s) { K::setKmVersionCallback(negativeVersion); return s.read(); }},
    {"deserialize negative length", "length > 0", [](S& s) { return s.read(3, -5); }},
    {"deserialize segment beyond the stream", "currPos + length <= stream size",
     [](S& s) { return s.read(3, 1 << 20); }},
    {"deserialize, record cut short", "nRead == count", [](S& s) { return s.readBytes(s.record.substr(0, 10)); }},
    {"deserialize, read callback throws", kThrows, [](S& s) { K::setKmReadCallback(throws); return s.readNew(); }},
    {"deserialize, split callback throws", kThrows,
     [](S& s) { K::setKmSplitCallback(splitThenThrow); return s.readNew(); }},
    {"deserialize, memory release callback throws", kThrows,
     [](S& s) { K::setKmMemoryRelCallback(thenThrow<cb::freeMemory>); return s.readNew(); }},
    {"deserialize, kernel refuses a corrupt segment", kZero,
     [](S& s) {
       const std::string bytes = flipped(s.record, s.record.size() - 3, 0x5A);
       return s.readNew(new MvMemoryStream(bytes.data(), static_cast<int>(bytes.size())));
     }},
    // After the version, major, minor and length.
    {"deserialize, frustrum read from the host stream fails", "device failure",
     [](S& s) { return s.readNew(new FaultyStream(s.record, -1, 4, -1)); }},
    // The segment start; the frustrum's read asks next.
    {"deserialize, frustrum position query fails", "device failure",
     [](S& s) { return s.readNew(new FaultyStream(s.record, -1, -1, 1)); }},
    {"copyAppendKmPart without copy callback", "pfKmCopyCB != NULL",
     [](S& s) { K::setKmCopyCallback(nullptr); return elementOf({})->copyAppendKmPart(s.e->kmPart()); }},
    {"copyAppendKmPart, copy callback throws at the second part", kThrows,
     [](S& s) { K::setKmCopyCallback(copyThenThrow); return elementOf({})->copyAppendKmPart(s.e->kmPart()); }},
    {"copy constructor, copy callback throws at the second part", kThrows,
     [](S& s) { K::setKmCopyCallback(copyThenThrow); return MvAutoPtr<K>(new K(*s.e))->isEmpty(); }},
    {"assignment, copy callback throws at the second part", kThrows,
     [](S& s) { K::setKmCopyCallback(copyThenThrow); return (*elementOf({}) = *s.e).isEmpty(); }},
    {"removePart with a bad index", "i>=0 && i<_vKMPartList.length()", [](S& s) { return s.e->removePart(3); }},
    {"removePart without release callback", "pfKmReleaseCB != NULL",
     [](S& s) { K::setKmReleaseCallback(nullptr); return s.e->removePart(0); }},
    {"removeAllParts, release callback throws", kThrows, [](S&) { return S::releasingTarget()->removeAllParts(); }},
    {"destructor, release callback throws", kZero,
     [](S&) {
       S::releasingTarget();
       return 0u;
     }},
    {"face shapes without tessellation callback", "_pfKmTessCB != NULL",
     [](S& s) { K::setKmTessCallback(nullptr); return s.faces(*s.e); }},
    {"face shapes of an element without parts", "kmBodyList.length() > 0",
     [](S& s) { return s.faces(*elementOf({})); }},
    {"face shapes, tessellation callback throws after handing over shapes", kThrows,
     [](S& s) { K::setKmTessCallback(thenThrow<cb::tessellate>); return s.faces(*s.e); }},
    {"colour shapes, box callback throws", kThrows, [](S& s) { K::setKmBBoxCallback(throws); return s.colors(); }},
    {"colour shapes without box callback", "_pfKmBBoxCB != NULL",
     [](S& s) { K::setKmBBoxCallback(nullptr); return s.colors(); }},
    {"edge shapes, edge callback throws after handing over polylines", kThrows,
     [](S& s) { K::setKmEdgeTessCallback(thenThrow<cb::tessellateEdges>); return s.edges(); }},
    {"edge shapes without edge callback", "_pfKmEdgeTessCB && _pfKmEdgeTessCB(kmBodyList[i], kmTessPara, vpBodyPLS)",
     [](S& s) { K::setKmEdgeTessCallback(nullptr); return s.edges(); }},
    {"haveColorAttr, colour callback throws", kThrows,
     [](S& s) { K::setKmBodyColorCallback(throws); return s.e->haveColorAttr(); }},
    {"merge with more colours than shapes", "tessIdx < pFaceShapeList.length()",
     [](S& s) {
       MvAutoPtrVec<MvTriStripSet> shapes, merged;
       MvAVec<MvIVec<int>> maps;
       s.e->getMvFaceShapeList(s.p = params(), shapes, maps, 0);
       MvAVec<MvVec4<float>> colors;
       for (int i = 0; i <= shapes.length(); ++i) colors.append(MvVec4<float>{{1.0f, 0.0f, 0.0f, 1.0f}});
       return K::mergeShapeWithSameColor(shapes, colors, merged);
     }},
    {"holder unload without release callback", "pfKmReleaseCB != NULL",
     [](S&) {
       MvAutoPtr<MvKMBrepOnFly> holder(new MvKMBrepOnFly());
       holder->appendKmEntity(tagVec(ksamplehost::buildDemoModel(1)), 1);
       K::setKmReleaseCallback(nullptr);
       const RegisterCallbacks again;  // before the holder releases what it keeps
       return holder->unloadKmEntity();
     }},
    {"holder copy, copy callback throws at the second entity", kThrows,
     [](S&) {
       MvAutoPtr<MvKMBrepOnFly> holder(new MvKMBrepOnFly());
       holder->appendKmEntity(tagVec(ksamplehost::buildDemoModel(3)), 1);
       K::setKmCopyCallback(copyThenThrow);
       MvAutoPtr<MvKMBrepOnFly> copy(new MvKMBrepOnFly(*holder));
       return 1u;
     }},
    {"graphical output, go callback throws", kThrows,
     [](S& s) { K::setKmGoCallback(throws); return static_cast<unsigned>(ksample::render(s.e->kmPart()[0])); }},
};

// Bad files, damaged element records: the reason of each refusal.
const Row kBadFiles[] = {
    {"kernel file cut in half", "kernel: transmit data is truncated",
     [](S& s) { return s.receive(s.kernelFile.substr(0, s.kernelFile.size() * 3 / 4)); }},
    {"kernel file with a changed digit", "kernel: transmit data checksum mismatch",
     [](S& s) {
       const char digit = s.kernelFile[s.kernelFile.size() - 20];
       return s.receive(flipped(s.kernelFile, s.kernelFile.size() - 20, digit ^ (digit == '7' ? '8' : '7')));
     }},
    {"foreign file", "kernel: data is not ksample transmit data",
     [](S& s) { return s.receive("\x89PNG\r\n\x1a\n not a kernel file at all\n"); }},
    // The header skip runs out of data (status 4).
    {"kernel file whose header never ends", "kernel: frustrum open for reading failed with status 4",
     [](S& s) { return s.receive(s.kernelFile.substr(0, s.kernelFile.find("**END_OF_HEADER"))); }},
    {"empty kernel file", "kernel: frustrum open for reading failed with status 4", [](S& s) { return s.receive(""); }},
    {"no kernel file", "kernel: frustrum open for reading failed with status 2",
     [](S& s) { return s.receive("", true); }},
    {"host file too short for a header", "file header complete",
     [](S& s) { return s.readHost(s.hostFile.substr(0, 10)); }},
    {"not a host file", "file header magic", [](S& s) { return s.readHost("PK\x03\x04 a zip file, not a host file"); }},
    {"host file with the element record cut short", "trailer at the end of the file",
     [](S& s) { return s.readHost(s.hostFile.substr(0, s.hostFile.size() - 7)); }},
    {"host file with the kernel's data corrupted", "kernel: transmit data checksum mismatch",
     [](S& s) { return s.readHost(flipped(s.hostFile, s.hostFile.size() - 30, 0x21)); }},
    {"host file with an unknown type", "type registered for GUID",
     [](S& s) { return s.readHost(flipped(s.hostFile, MvFileStream::kHeaderBytes, 0x01)); }},
    {"element record cut inside its header", "nRead == count", [](S& s) { return s.readBytes(s.record.substr(0, 14)); }},
    {"element record one byte short", "currPos + length <= stream size",
     [](S& s) { return s.readBytes(s.record.substr(0, s.record.size() - 1)); }},
    {"element record zeroed", "kernel: data is not ksample transmit data",
     [](S& s) { return s.readBytes(s.record.substr(0, 16) + std::string(s.record.size() - 16, '\0')); }},
};

// Each table runs with reports recorded and with reports thrown; a row ends the same either way.
class FaultPaths : public AppTest, public ::testing::WithParamInterface<bool> {
 protected:
  template <size_t N>
  void runRows(const Row (&rows)[N], const char* figure) {
    Scene s;
    ASSERT_EQ(s.write(), 1u);
    s.record.assign(s.stream->data(), static_cast<size_t>(s.stream->size()));
    s.writeFiles();
    const std::vector<int> model = partsOf(*s.e);
    const int elementRefs = s.e->refCount(), streamRefs = s.stream->refCount();
    for (const Row& row : rows) {
      SCOPED_TRACE(row.path);
      copyCalls = 0;
      s.kernelError.clear();
      const int bodies = ksample::bodyCount();
      const long long memory = MvPlatform::instance()->memoryInUse();
      MvErrorState::clear();
      MvErrorState::setThrowOnError(GetParam());
      std::string ended;
      try {
        const unsigned result = row.run(s);
        const std::vector<MvErrorReport>& reports = MvErrorState::reports();
        ended = result != 0                ? "result " + std::to_string(result)
                : !reports.empty()         ? reports[0].condition
                : !s.kernelError.empty() ? "kernel: " + s.kernelError
                                           : kZero;
      } catch (const MvError& error) {
        ended = error.report().condition;
      } catch (const CallbackError&) {
        ended = kThrows;
      }
      MvErrorState::setThrowOnError(false);
      ksamplehost::registerCallbacks(ksamplehost::Options());
      MvPartition::setVersion(MvPartition::kCurrentMajor, MvPartition::kCurrentMinor);
      EXPECT_EQ(ended, row.ends);
      EXPECT_TRUE(libraryIdle());
      EXPECT_EQ(s.e->refCount(), elementRefs);
      EXPECT_EQ(s.stream->refCount(), streamRefs);
      EXPECT_EQ(partsOf(*s.e), model);
      EXPECT_TRUE(partsConsistent(*s.e));
      EXPECT_EQ(ksample::bodyCount(), bodies);
      EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memory);
    }
    std::remove((s.key + ".x_t").c_str());
    std::remove(s.path.c_str());
    expectWorks(*s.e);
    noteFigure(figure, static_cast<long long>(N));
  }
};

TEST_P(FaultPaths, CallbacksAndReportsLeaveNothingBehind) { runRows(kRows, "report and exception paths"); }

TEST_P(FaultPaths, BadFilesAreRefusedAndLoseNothing) { runRows(kBadFiles, "bad files and records"); }

INSTANTIATE_TEST_SUITE_P(Modes, FaultPaths, ::testing::Values(false, true), modeName);

}  // namespace
}  // namespace rel
