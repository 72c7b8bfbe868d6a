// The host object stream reads an arbitrary file: MvFileStream::open, then
// readObject until the end, with both element types registered and the
// sample kernel receiving. Every read ends (the stream moves on or stands at
// its end), every object read is a consistent element or holder, and once
// the objects are gone the library is idle and no kernel body is left.
#include "app/sample_app.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

struct Session {
  ksamplehost::SampleApp app;
  Session() {
    FUZZ_CHECK(app.ok());
    MvKMBrepOnFly::constructType();
  }
  ~Session() { MvKMBrepOnFly::destructType(); }
};

bool libraryIdle() {
  return MvKMBrep::s_pKorvaniteMutex->heldDepth() == 0 && mvFrustrumHasHostStream() == 0 &&
         mvFrustrumOpenStreamCount() == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Session session;
  static const std::string path = fuzzing::scratchDir() + "/input.mv61";
  fuzzing::writeFile(path, data, size);
  MvErrorState::clear();
  const int bodies = ksample::bodyCount();
  {
    MvAutoPtr<MvFileStream> in(MvFileStream::open(path.c_str()));
    if (!in) {
      FUZZ_CHECK(!MvErrorState::reports().empty());
      return 0;
    }
    std::vector<MvAutoPtr<MvBase>> objects;
    int position = 0;
    FUZZ_CHECK(in->getPosition(position) == 1);
    while (!in->atEnd()) {
      MvAutoPtr<MvBase> obj;
      const unsigned ok = in->readObject(obj);
      FUZZ_CHECK(libraryIdle());
      FUZZ_CHECK(ok == 1 || !obj);
      int after = 0;
      FUZZ_CHECK(in->getPosition(after) == 1);
      FUZZ_CHECK(after > position || in->atEnd());
      position = after;
      if (!obj) continue;
      if (obj->isOfExactType(MvKMBrep::classTypeID())) {
        const MvKMBrep& e = static_cast<const MvKMBrep&>(*obj);
        FUZZ_CHECK(e.kmPart().length() == e.kmPartOwnerFlags().length());
        for (int i = 0; i < e.kmPart().length(); ++i) FUZZ_CHECK(ksample::exists(e.kmPart()[i]));
      }
      objects.push_back(obj);
    }
  }
  FUZZ_CHECK(libraryIdle());
  FUZZ_CHECK(ksample::bodyCount() == bodies);
  MvErrorState::clear();
  return 0;
}
