#include "base/current_host_stream.h"

namespace mvkm {

KmStream gKmStream;

CurrentHostStream::CurrentHostStream(MvObjectStream& stream) {
  // The counted pointer takes the new reference before it drops the old one.
  gKmStream.stream = &stream;
}

CurrentHostStream::~CurrentHostStream() { dropHostStream(); }

void dropHostStream() {
  gKmStream.stream.release();
  gKmStream.pos = 0;
}

}  // namespace mvkm
