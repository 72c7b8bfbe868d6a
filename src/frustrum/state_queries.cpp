// What hosts and tests may ask of the frustrum's state.
#include "base/current_host_stream.h"
#include "frustrum/MvFrustrum.h"
#include "frustrum/file_transfer.h"
#include "frustrum/stream_table.h"

extern "C" {

MVKM_API int mvFrustrumOpenStreamCount(void) { return mvkm::openStreamCount(); }

MVKM_API int mvFrustrumHasHostStream(void) { return mvkm::gKmStream.stream.get() != nullptr; }

MVKM_API int mvFrustrumSegmentEnd(void) { return mvkm::gKmStream.pos; }

MVKM_API int mvFrustrumLastSystemFailure(int* osError) {
  int error = 0;
  const int status = mvkm::takeSystemFailure(error);
  if (osError) *osError = error;
  return status;
}

}  // extern "C"
