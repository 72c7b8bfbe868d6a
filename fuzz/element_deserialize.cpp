// An element reads an arbitrary record from a host stream, the sample kernel receiving its segment. The first byte
// picks the kernel's data format (bit 0: text) and whether the split callback takes the received parts (bit 1); the
// rest is the record. The read succeeds or fails with the element's own part still first and its lists consistent,
// the library idle and no body gained once the element is gone; what was read writes and reads back equal.
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::startApp();
  static const int ownPart = ksample::makeBox(1.0, 2.0, 3.0, ksample::identityTransform());
  FUZZ_CHECK(ownPart != 0);
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
    own.append(ownPart);
    FUZZ_CHECK(e->appendKmPart(own, 1) == 1);
    MvAutoPtr<MvMemoryStream> in(new MvMemoryStream(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1)));
    const unsigned ok = e->deserialize(*in);
    const MvVec<int>& parts = e->kmPart();
    FUZZ_CHECK(testfiles::libraryIdle());
    FUZZ_CHECK(parts.length() == e->kmPartOwnerFlags().length() && parts.length() >= 1 && parts[0] == ownPart);
    FUZZ_CHECK(ok || (parts.length() == 1 && ksample::bodyCount() == bodies));
    for (int i = 1; i < parts.length(); ++i) FUZZ_CHECK(ksample::exists(parts[i]) && e->kmPartOwnerFlags()[i] == 0);
    if (ok) {
      MvAutoPtr<MvMemoryStream> again(new MvMemoryStream());
      MvAutoPtr<MvKMBrep> back(new MvKMBrep());
      FUZZ_CHECK(e->serialize(*again) == 1 && again->seek(0) == 1 && back->deserialize(*again) == 1);
      FUZZ_CHECK(back->kmPart().length() == parts.length());
      for (int i = 0; i < parts.length(); ++i) FUZZ_CHECK(ksample::sameBody(parts[i], back->kmPart()[i]));
    }
  }
  FUZZ_CHECK(ksample::bodyCount() == bodies && testfiles::libraryIdle());
  return 0;
}
