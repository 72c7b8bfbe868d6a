// Graphical output: the kernel's drawing segments go to the host
// application's graphical-output callback.
#include "element/MvKMBrep.h"
#include "frustrum/MvFrustrum.h"

namespace {

constexpr int kNoGraphicsCallback = -1011;

// Open and close keep no state of their own.
void acknowledgeSegment(int* ifail) {
  if (ifail) *ifail = MV_FR_OK;
}

}  // namespace

extern "C" {

MVKM_API void mvOpenSegment(const int*, const int*, const int*, const int*, const double*, const int*,
                            const int*, int* ifail) {
  acknowledgeSegment(ifail);
}

MVKM_API void mvCloseSegment(const int*, const int*, const int*, const int*, const double*, const int*,
                             const int*, int* ifail) {
  acknowledgeSegment(ifail);
}

MVKM_API void mvOutputSegment(const int* a1, const int* a2, const int* a3, const int* a4,
                              const double* a5, const int* a6, const int* a7, int* ifail) {
  if (!ifail) return;
  if (!MvKMBrep::pfKmGoCB) {
    *ifail = kNoGraphicsCallback;
  } else if (!a1 || !a2 || !a4 || !a6) {
    // The four values are read here; a segment without them is dropped.
    *ifail = MV_FR_UNSPECIFIED;
  } else {
    *ifail = MvKMBrep::pfKmGoCB(*a1, *a2, a3, *a4, a5, *a6, a7);
  }
}

}  // extern "C"
