// An element reads an arbitrary record from a host stream, the sample kernel
// receiving its segment. The first byte picks the kernel's data format
// (bit 0: text) and whether the split callback takes the received parts
// (bit 1); the rest is the record. Whatever the bytes, the read succeeds or
// fails with the element's own part still first and its lists consistent,
// the library idle, and no kernel body gained once the element is gone.
#include "app/sample_app.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>

namespace {

struct Session {
  ksamplehost::SampleApp app;
  int ownPart = 0;
  Session() {
    FUZZ_CHECK(app.ok());
    ownPart = ksample::makeBox(1.0, 2.0, 3.0, ksample::identityTransform());
    FUZZ_CHECK(ownPart != 0);
  }
};

Session& session() {
  static Session s;
  return s;
}

bool libraryIdle() {
  return MvKMBrep::s_pKorvaniteMutex->heldDepth() == 0 && mvFrustrumHasHostStream() == 0 &&
         mvFrustrumOpenStreamCount() == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Session& s = session();
  if (size < 1 || size > 1 << 20) return 0;
  ksamplehost::Options options;
  options.hostStreamFormat = (data[0] & 1) ? ksample::Format::Text : ksample::Format::Binary;
  options.registerSplit = (data[0] & 2) != 0;
  ksamplehost::registerCallbacks(options);
  MvErrorState::clear();
  const int bodies = ksample::bodyCount();
  {
    MvAutoPtr<MvKMBrep> e(new MvKMBrep());
    MvVec<int> own;
    own.append(s.ownPart);
    FUZZ_CHECK(e->appendKmPart(own, 1) == 1);
    MvAutoPtr<MvMemoryStream> in(
        new MvMemoryStream(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1)));
    const unsigned ok = e->deserialize(*in);
    FUZZ_CHECK(libraryIdle());
    FUZZ_CHECK(e->kmPart().length() == e->kmPartOwnerFlags().length());
    FUZZ_CHECK(e->kmPart().length() >= 1 && e->kmPart()[0] == s.ownPart);
    if (!ok) {
      FUZZ_CHECK(e->kmPart().length() == 1);
      FUZZ_CHECK(ksample::bodyCount() == bodies);
    }
    for (int i = 1; i < e->kmPart().length(); ++i) {
      FUZZ_CHECK(ksample::exists(e->kmPart()[i]));
      FUZZ_CHECK(e->kmPartOwnerFlags()[i] == 0);
    }
    // What was read writes back and reads again into equal bodies.
    if (ok) {
      MvAutoPtr<MvMemoryStream> again(new MvMemoryStream());
      FUZZ_CHECK(e->serialize(*again) == 1);
      FUZZ_CHECK(again->seek(0) == 1);
      MvAutoPtr<MvKMBrep> back(new MvKMBrep());
      FUZZ_CHECK(back->deserialize(*again) == 1);
      FUZZ_CHECK(back->kmPart().length() == e->kmPart().length());
      for (int i = 0; i < e->kmPart().length(); ++i) FUZZ_CHECK(ksample::sameBody(e->kmPart()[i], back->kmPart()[i]));
    }
  }
  FUZZ_CHECK(ksample::bodyCount() == bodies);
  FUZZ_CHECK(libraryIdle());
  return 0;
}
