// The host object stream reads an arbitrary file: MvFileStream::open, then readObject until the end, with both
// element types registered and the sample kernel receiving. Every read ends (the stream moves on or stands at its
// end), every element read is consistent, and once the objects are gone the library is idle with no kernel body.
#include "fuzz_check.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::startApp();
  static const std::string path = fuzzing::scratchDir() + "/input.mv61";
  fuzzing::writeFile(path, data, size);
  MvErrorState::clear();
  const int bodies = ksample::bodyCount();
  {
    MvAutoPtr<MvFileStream> in(MvFileStream::open(path.c_str()));
    FUZZ_CHECK(in || !MvErrorState::reports().empty());
    std::vector<MvAutoPtr<MvBase>> objects;
    int position = 0;
    FUZZ_CHECK(!in || in->getPosition(position) == 1);
    while (in && !in->atEnd()) {
      MvAutoPtr<MvBase> obj;
      const unsigned ok = in->readObject(obj);
      int after = 0;
      FUZZ_CHECK(testfiles::libraryIdle() && (ok == 1 || !obj) && in->getPosition(after) == 1);
      FUZZ_CHECK(after > position || in->atEnd());
      position = after;
      if (obj && obj->isOfExactType(MvKMBrep::classTypeID())) {
        const MvKMBrep& e = static_cast<const MvKMBrep&>(*obj);
        FUZZ_CHECK(e.kmPart().length() == e.kmPartOwnerFlags().length());
        for (int i = 0; i < e.kmPart().length(); ++i) FUZZ_CHECK(ksample::exists(e.kmPart()[i]));
      }
      objects.push_back(obj);
    }
  }
  FUZZ_CHECK(testfiles::libraryIdle() && ksample::bodyCount() == bodies);
  MvErrorState::clear();
  return 0;
}
