// Every report path of the element, the frustrum's host-stream transfers,
// the tessellation and the holder, one row each, with reports thrown
// (setThrowOnError) and with callbacks that throw. After each row the lock is
// free, no host stream is current, no frustrum stream is open, the element's
// parts are untouched, no kernel body is lost or left behind, and reference
// counts and the memory account are where they were.
#include "reliability/reliability_support.h"

#include <functional>
#include <stdexcept>
#include <string>

namespace {

using rel::elementOf;
using rel::partsOf;

struct CallbackError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A memory stream whose transfers and position queries fail, with a report,
// after the given number of successful calls (-1: never).
class FaultyStream : public MvMemoryStream {
 public:
  FaultyStream() = default;
  FaultyStream(const char* data, int size) : MvMemoryStream(data, size) {}
  int writesLeft = -1;
  int readsLeft = -1;
  int positionsLeft = -1;

  unsigned writeBytes(const char* bytes, int count) override {
    return pass(writesLeft, "writeBytes") ? MvMemoryStream::writeBytes(bytes, count) : 0;
  }
  unsigned readBytes(char* bytes, int count, int& nRead) override {
    nRead = 0;
    return pass(readsLeft, "readBytes") ? MvMemoryStream::readBytes(bytes, count, nRead) : 0;
  }
  unsigned getPosition(int& pos) override {
    return pass(positionsLeft, "getPosition") ? MvMemoryStream::getPosition(pos) : 0;
  }

 private:
  static bool pass(int& left, const char* operation) {
    if (left < 0 || left-- > 0) return true;
    MvErrorState::throwStdError("MvObjectStream", operation, "device failure", MvErrorState::kCondition);
    return false;
  }
};

// Callbacks that throw. Those handed something to own give it back first.
unsigned throwingWrite(int, const int*, unsigned) { throw CallbackError("write"); }
unsigned throwingRead(int&, int*&) { throw CallbackError("read"); }
unsigned throwingVersion(int&, int&) { throw CallbackError("version"); }
unsigned negativeVersion(int& major, int& minor) {
  major = -1;
  minor = 0;
  return 1;
}
unsigned throwingSplit(int count, int* tags, MvVec<int>&) {
  ksample::deleteBodies(count, tags);
  ksample::freeTags(tags);
  throw CallbackError("split");
}
unsigned throwingMemoryRel(void* p) {
  ksample::freeTags(static_cast<int*>(p));
  throw CallbackError("memory release");
}
unsigned throwingRelease(int count, const int* tags) {
  ksamplehost::callbacks::release(count, tags);
  throw CallbackError("release");
}
int copyCalls = 0;
unsigned copyThenThrow(int tag, int& copy) {
  if (copyCalls++ == 1) throw CallbackError("copy");
  return ksamplehost::callbacks::copy(tag, copy);
}
unsigned tessThenThrow(int body, const MvKMBrep::KmBrepTessParams& p, MvAutoPtrVec<MvTriStripSet>& shapes,
                       MvIVec<int>& map, MvAVec<MvVec4<float>>& colours) {
  ksamplehost::callbacks::tessellate(body, p, shapes, map, colours);
  throw CallbackError("tessellate");
}
unsigned edgesThenThrow(int body, MvKMBrep::KmBrepTessParams& p, MvAutoPtrVec<MvPolylineSet>& sets) {
  ksamplehost::callbacks::tessellateEdges(body, p, sets);
  throw CallbackError("edges");
}
unsigned throwingBox(int, MvVec3<float>&, MvVec3<float>&) { throw CallbackError("box"); }
unsigned throwingColour(int) { throw CallbackError("colour"); }
int throwingGraphics(int, int, const int*, int, const double*, int, const int*) { throw CallbackError("graphics"); }

enum class Ends { kMvError, kCallbackError, kZero };

struct Scene {
  MvAutoPtr<MvKMBrep> e;       // three parts, must stay untouched
  MvAutoPtr<MvKMBrep> none;    // no parts
  std::string record;          // e's record as serialize writes it
  MvAutoPtr<MvMemoryStream> stream;  // a stream reused by some rows
};

// A stream holding `record` with the integer at `index` replaced.
MvAutoPtr<MvMemoryStream> patched(const std::string& record, int index, int value) {
  std::string bytes = record;
  for (int b = 0; b < 4; ++b) bytes[4 * index + b] = static_cast<char>((static_cast<unsigned>(value) >> (8 * b)) & 0xFF);
  return new MvMemoryStream(bytes.data(), static_cast<int>(bytes.size()));
}

MvKMBrep::KmBrepTessParams params() {
  MvKMBrep::KmBrepTessParams p{};
  MvKMBrep::initializeTessParam(p, 0);
  return p;
}

struct Row {
  const char* path;
  Ends ends;
  const char* condition;  // of the thrown report or of a report made; empty: not checked
  std::function<unsigned(Scene&)> run;
};

unsigned faceShapes(const MvKMBrep& e) {
  MvKMBrep::KmBrepTessParams p = params();
  MvAutoPtrVec<MvTriStripSet> shapes;
  MvAVec<MvIVec<int>> maps;
  return e.getMvFaceShapeList(p, shapes, maps, 1);
}

unsigned colourShapes(const MvKMBrep& e) {
  MvKMBrep::KmBrepTessParams p = params();
  MvAutoPtrVec<MvTriStripSet> shapes;
  return e.getMvColorShapeList(p, shapes);
}

unsigned edgeShapes(const MvKMBrep& e) {
  MvKMBrep::KmBrepTessParams p = params();
  MvAutoPtrVec<MvPolylineSet> sets;
  return e.getMvEdgeShape(p, sets);
}

unsigned readInto(const MvAutoPtr<MvMemoryStream>& s) {
  MvAutoPtr<MvKMBrep> target = elementOf(ksamplehost::buildDemoModel(1));
  return target->deserialize(*s);
}

const char* const kInvalidVersion = "Invalid KMBrep version number";

std::vector<Row> rows() {
  using S = Scene;
  return {
      // --- serialize -------------------------------------------------------
      {"serialize without write callback", Ends::kMvError, "(_pfKmVersionCB != NULL) && (_pfKmWriteCB != NULL)",
       [](S& s) {
         MvKMBrep::setKmWriteCallback(nullptr);
         return s.e->serialize(*s.stream);
       }},
      {"serialize into a host file of major version 7", Ends::kMvError, "majorVer >= 8",
       [](S& s) {
         MvPartition::setVersion(7, 0);
         return s.e->serialize(*s.stream);
       }},
      {"serialize, version callback throws", Ends::kCallbackError, "",
       [](S& s) {
         MvKMBrep::setKmVersionCallback(throwingVersion);
         return s.e->serialize(*s.stream);
       }},
      {"serialize, negative kernel version", Ends::kMvError, "_kmMajorV >= 0 && _kmMinorV >= 0",
       [](S& s) {
         MvKMBrep::setKmVersionCallback(negativeVersion);
         return s.e->serialize(*s.stream);
       }},
      {"serialize, first stream write fails", Ends::kMvError, "device failure",
       [](S& s) {
         MvAutoPtr<FaultyStream> f(new FaultyStream());
         f->writesLeft = 0;
         return s.e->serialize(*f);
       }},
      {"serialize, stream position fails", Ends::kMvError, "device failure",
       [](S& s) {
         MvAutoPtr<FaultyStream> f(new FaultyStream());
         f->positionsLeft = 0;
         return s.e->serialize(*f);
       }},
      {"serialize, frustrum write into the host stream fails", Ends::kMvError, "device failure",
       [](S& s) {
         MvAutoPtr<FaultyStream> f(new FaultyStream());
         f->writesLeft = 4;  // version, major, minor, length placeholder
         return s.e->serialize(*f);
       }},
      {"serialize, write callback throws", Ends::kCallbackError, "",
       [](S& s) {
         MvKMBrep::setKmWriteCallback(throwingWrite);
         return s.e->serialize(*s.stream);
       }},
      {"serialize, kernel refuses an unknown part", Ends::kZero, "",
       [](S& s) {
         MvAutoPtr<MvKMBrep> ghost(new MvKMBrep());
         ghost->appendKmPart(rel::tagVec({987654}), 1);
         return ghost->serialize(*s.stream);
       }},
      {"getBinaryStreamFromKm without parts", Ends::kMvError, "kmPartList.length() > 0",
       [](S&) { return MvKMBrep::getBinaryStreamFromKm(MvVec<int>()); }},
      // --- deserialize -----------------------------------------------------
      {"deserialize without read callback", Ends::kMvError, "(_pfKmVersionCB != NULL) && (_pfKmReadCB != NULL)",
       [](S& s) {
         MvKMBrep::setKmReadCallback(nullptr);
         return s.e->deserialize(*patched(s.record, 0, 1));
       }},
      {"deserialize version 0", Ends::kMvError, kInvalidVersion,
       [](S& s) { return s.e->deserialize(*patched(s.record, 0, 0)); }},
      {"deserialize version 2", Ends::kMvError, kInvalidVersion,
       [](S& s) { return s.e->deserialize(*patched(s.record, 0, 2)); }},
      {"deserialize, version callback throws", Ends::kCallbackError, "",
       [](S& s) {
         MvKMBrep::setKmVersionCallback(throwingVersion);
         return s.e->deserialize(*patched(s.record, 0, 1));
       }},
      {"deserialize, negative running kernel version", Ends::kMvError, "currKmMajorV >= 0 && currKmMinorV >= 0",
       [](S& s) {
         MvKMBrep::setKmVersionCallback(negativeVersion);
         return s.e->deserialize(*patched(s.record, 0, 1));
       }},
      {"deserialize negative length", Ends::kMvError, "length > 0",
       [](S& s) { return s.e->deserialize(*patched(s.record, 3, -5)); }},
      {"deserialize segment beyond the stream", Ends::kMvError, "currPos + length <= stream size",
       [](S& s) { return s.e->deserialize(*patched(s.record, 3, 1 << 20)); }},
      {"deserialize, record cut short", Ends::kMvError, "nRead == count",
       [](S& s) {
         MvAutoPtr<MvMemoryStream> cut(new MvMemoryStream(s.record.data(), 10));
         return s.e->deserialize(*cut);
       }},
      {"deserialize, read callback throws", Ends::kCallbackError, "",
       [](S& s) {
         MvKMBrep::setKmReadCallback(throwingRead);
         return readInto(patched(s.record, 0, 1));
       }},
      {"deserialize, split callback throws", Ends::kCallbackError, "",
       [](S& s) {
         MvKMBrep::setKmSplitCallback(throwingSplit);
         return readInto(patched(s.record, 0, 1));
       }},
      {"deserialize, memory release callback throws", Ends::kCallbackError, "",
       [](S& s) {
         MvKMBrep::setKmMemoryRelCallback(throwingMemoryRel);
         return readInto(patched(s.record, 0, 1));
       }},
      {"deserialize, kernel refuses a corrupt segment", Ends::kZero, "",
       [](S& s) {
         std::string bytes = s.record;
         bytes[bytes.size() - 3] ^= 0x5A;
         MvAutoPtr<MvMemoryStream> bad(new MvMemoryStream(bytes.data(), static_cast<int>(bytes.size())));
         return readInto(bad);
       }},
      {"deserialize, frustrum read from the host stream fails", Ends::kMvError, "device failure",
       [](S& s) {
         MvAutoPtr<FaultyStream> f(new FaultyStream(s.record.data(), static_cast<int>(s.record.size())));
         f->readsLeft = 4;  // version, major, minor, length
         MvAutoPtr<MvKMBrep> target = elementOf(ksamplehost::buildDemoModel(1));
         return target->deserialize(*f);
       }},
      {"deserialize, frustrum position query fails", Ends::kMvError, "device failure",
       [](S& s) {
         MvAutoPtr<FaultyStream> f(new FaultyStream(s.record.data(), static_cast<int>(s.record.size())));
         f->positionsLeft = 1;  // the segment start; the frustrum's read asks next
         MvAutoPtr<MvKMBrep> target = elementOf(ksamplehost::buildDemoModel(1));
         return target->deserialize(*f);
       }},
      // --- part list and copies ---------------------------------------------
      {"copyAppendKmPart without copy callback", Ends::kMvError, "pfKmCopyCB != NULL",
       [](S& s) {
         MvKMBrep::setKmCopyCallback(nullptr);
         MvAutoPtr<MvKMBrep> target(new MvKMBrep());
         return target->copyAppendKmPart(s.e->kmPart());
       }},
      {"copyAppendKmPart, copy callback throws at the second part", Ends::kCallbackError, "",
       [](S& s) {
         MvKMBrep::setKmCopyCallback(copyThenThrow);
         MvAutoPtr<MvKMBrep> target(new MvKMBrep());
         return target->copyAppendKmPart(s.e->kmPart());
       }},
      {"copy constructor, copy callback throws at the second part", Ends::kCallbackError, "",
       [](S& s) {
         MvKMBrep::setKmCopyCallback(copyThenThrow);
         MvAutoPtr<MvKMBrep> copy(new MvKMBrep(*s.e));
         return 1u;
       }},
      {"assignment, copy callback throws at the second part", Ends::kCallbackError, "",
       [](S& s) {
         MvKMBrep::setKmCopyCallback(copyThenThrow);
         MvAutoPtr<MvKMBrep> target(new MvKMBrep());
         *target = *s.e;
         return 1u;
       }},
      {"removePart with a bad index", Ends::kMvError, "i>=0 && i<_vKMPartList.length()",
       [](S& s) { return s.e->removePart(3); }},
      {"removePart without release callback", Ends::kMvError, "pfKmReleaseCB != NULL",
       [](S& s) {
         MvKMBrep::setKmReleaseCallback(nullptr);
         return s.e->removePart(0);
       }},
      {"removeAllParts, release callback throws", Ends::kCallbackError, "",
       [](S&) {
         MvAutoPtr<MvKMBrep> target = elementOf(ksamplehost::buildDemoModel(2));
         MvKMBrep::setKmReleaseCallback(throwingRelease);
         return target->removeAllParts();
       }},
      {"destructor, release callback throws", Ends::kZero, "",
       [](S&) {
         MvAutoPtr<MvKMBrep> target = elementOf(ksamplehost::buildDemoModel(2));
         MvKMBrep::setKmReleaseCallback(throwingRelease);
         target = nullptr;
         return 0u;
       }},
      // --- tessellation ----------------------------------------------------
      {"face shapes without tessellation callback", Ends::kMvError, "_pfKmTessCB != NULL",
       [](S& s) {
         MvKMBrep::setKmTessCallback(nullptr);
         return faceShapes(*s.e);
       }},
      {"face shapes of an element without parts", Ends::kMvError, "kmBodyList.length() > 0",
       [](S& s) { return faceShapes(*s.none); }},
      {"face shapes, tessellation callback throws after handing over shapes", Ends::kCallbackError, "",
       [](S& s) {
         MvKMBrep::setKmTessCallback(tessThenThrow);
         return faceShapes(*s.e);
       }},
      {"colour shapes, box callback throws", Ends::kCallbackError, "",
       [](S& s) {
         MvKMBrep::setKmBBoxCallback(throwingBox);
         return colourShapes(*s.e);
       }},
      {"colour shapes without box callback", Ends::kMvError, "_pfKmBBoxCB != NULL",
       [](S& s) {
         MvKMBrep::setKmBBoxCallback(nullptr);
         return colourShapes(*s.e);
       }},
      {"edge shapes, edge callback throws after handing over polylines", Ends::kCallbackError, "",
       [](S& s) {
         MvKMBrep::setKmEdgeTessCallback(edgesThenThrow);
         return edgeShapes(*s.e);
       }},
      {"edge shapes without edge callback", Ends::kMvError,
       "_pfKmEdgeTessCB && _pfKmEdgeTessCB(kmBodyList[i], kmTessPara, vpBodyPLS)",
       [](S& s) {
         MvKMBrep::setKmEdgeTessCallback(nullptr);
         return edgeShapes(*s.e);
       }},
      {"haveColorAttr, colour callback throws", Ends::kCallbackError, "",
       [](S& s) {
         MvKMBrep::setKmBodyColorCallback(throwingColour);
         return s.e->haveColorAttr();
       }},
      {"merge with more colours than shapes", Ends::kMvError, "tessIdx < pFaceShapeList.length()",
       [](S& s) {
         MvKMBrep::KmBrepTessParams p = params();
         MvAutoPtrVec<MvTriStripSet> shapes;
         MvAVec<MvIVec<int>> maps;
         s.e->getMvFaceShapeList(p, shapes, maps, 0);
         MvAVec<MvVec4<float>> colours;
         for (int i = 0; i <= shapes.length(); ++i) colours.append(MvVec4<float>{{1.0f, 0.0f, 0.0f, 1.0f}});
         MvAutoPtrVec<MvTriStripSet> merged;
         return MvKMBrep::mergeShapeWithSameColor(shapes, colours, merged);
       }},
      // --- holder and graphical output -------------------------------------
      {"holder unload without release callback", Ends::kMvError, "pfKmReleaseCB != NULL",
       [](S&) {
         MvAutoPtr<MvKMBrepOnFly> holder(new MvKMBrepOnFly());
         holder->appendKmEntity(rel::tagVec(ksamplehost::buildDemoModel(1)), 1);
         MvKMBrep::setKmReleaseCallback(nullptr);
         try {
           holder->unloadKmEntity();
         } catch (...) {
           ksamplehost::callbacks::release(1, holder->kmEntity().ptr());
           holder->removeKmEntity(0, 1);
           throw;
         }
         return 1u;
       }},
      {"holder copy, copy callback throws at the second entity", Ends::kCallbackError, "",
       [](S&) {
         MvAutoPtr<MvKMBrepOnFly> holder(new MvKMBrepOnFly());
         holder->appendKmEntity(rel::tagVec(ksamplehost::buildDemoModel(3)), 1);
         MvKMBrep::setKmCopyCallback(copyThenThrow);
         MvAutoPtr<MvKMBrepOnFly> copy(new MvKMBrepOnFly(*holder));
         return 1u;
       }},
      {"graphical output, go callback throws", Ends::kCallbackError, "",
       [](S& s) {
         MvKMBrep::setKmGoCallback(throwingGraphics);
         return static_cast<unsigned>(ksample::render(s.e->kmPart()[0]));
       }},
  };
}

class ExceptionPaths : public rel::AppTest {};

TEST_F(ExceptionPaths, EveryPathLeavesNothingBehind) {
  Scene s;
  const std::vector<int> model = ksamplehost::buildDemoModel(3);
  s.e = elementOf(model);
  s.none = new MvKMBrep();
  s.stream = new MvMemoryStream();
  {
    MvAutoPtr<MvMemoryStream> out(new MvMemoryStream());
    ASSERT_EQ(s.e->serialize(*out), 1u);
    s.record.assign(out->data(), static_cast<size_t>(out->size()));
  }
  const int elementRefs = s.e->refCount();
  const int streamRefs = s.stream->refCount();

  int rowCount = 0;
  for (const Row& row : rows()) {
    SCOPED_TRACE(row.path);
    ++rowCount;
    copyCalls = 0;
    const int bodies = ksample::bodyCount();
    const long long memory = MvPlatform::instance()->memoryInUse();
    MvErrorState::clear();
    MvErrorState::setThrowOnError(true);
    Ends ended = Ends::kZero;
    std::string thrownCondition;
    unsigned result = 0;
    try {
      result = row.run(s);
    } catch (const MvError& error) {
      ended = Ends::kMvError;
      thrownCondition = error.report().condition;
    } catch (const CallbackError&) {
      ended = Ends::kCallbackError;
    }
    MvErrorState::setThrowOnError(false);
    ksamplehost::registerCallbacks(ksamplehost::Options());
    MvPartition::setVersion(MvPartition::kCurrentMajor, MvPartition::kCurrentMinor);

    EXPECT_EQ(ended, row.ends) << "result " << result << ", " << rel::firstReport();
    if (row.ends == Ends::kZero) {
      EXPECT_EQ(result, 0u);
    }
    if (row.ends == Ends::kMvError) {
      EXPECT_EQ(thrownCondition, row.condition);
    }
    EXPECT_TRUE(rel::libraryIdle());
    EXPECT_EQ(s.e->refCount(), elementRefs);
    EXPECT_EQ(s.stream->refCount(), streamRefs);
    EXPECT_EQ(partsOf(*s.e), model);
    EXPECT_TRUE(rel::partsConsistent(*s.e));
    EXPECT_EQ(ksample::bodyCount(), bodies);
    EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memory);
  }
  rel::noteFigure("exception paths", rowCount);
}

}  // namespace
