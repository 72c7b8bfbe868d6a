// The file-I/O and graphical-output entry points the kernel is given by its
// host, as a table of plain C function pointers. Every argument is passed by
// address and each entry point reports its status through the last one.
#ifndef KSAMPLE_FRUSTRUM_H
#define KSAMPLE_FRUSTRUM_H

namespace ksample {

// Statuses written through ifail by the file-I/O entry points.
enum FrustrumStatus : int {
  kFrOk = 0,
  kFrNameTooLong = 1,
  kFrNoFile = 2,
  kFrEndOfData = 4,
  kFrCannotOpen = 10,
  kFrWriteFailure = 12,
  kFrReadFailure = 13,
  kFrCloseFailure = 14,
  kFrUnspecified = 99
};

// The guise of transmit data and the two data formats.
constexpr int kGuiseTransmit = 4;
constexpr int kFormatBinary = 1;
constexpr int kFormatText = 2;

// Close actions: keep the file, or abandon (remove) a file being written.
constexpr int kCloseKeep = 1;
constexpr int kCloseAbandon = 2;

// A non-empty key names a file (the frustrum builds key.x_t / key.x_b and
// writes or skips its text header); an empty key (length 0) moves the bytes
// to or from the host's current object stream, whose reads report
// kFrEndOfData at the end of the element's segment.
struct Frustrum {
  void (*startFileFrustrum)(int* ifail);
  void (*stopFileFrustrum)(int* ifail);
  void (*abortFileFrustrum)(int* ifail);
  void (*openWriteFrustrumFile)(const int* guise, const int* format, const char* key,
                                const int* keyLength, const char* headerData,
                                const int* headerLength, int* streamId, int* ifail);
  void (*openReadFrustrumFile)(const int* guise, const int* format, const char* key,
                               const int* keyLength, const int* skipHeader, int* streamId,
                               int* ifail);
  void (*writeToFrustrumFile)(const int* guise, const int* streamId, const int* count,
                              const char* bytes, int* ifail);
  void (*readFromFrustrumFile)(const int* guise, const int* streamId, const int* maxCount,
                               char* buffer, int* delivered, int* ifail);
  void (*closeFrustrumFile)(const int* guise, const int* streamId, const int* action, int* ifail);
  void (*openSegment)(const int*, const int*, const int*, const int*, const double*, const int*,
                      const int*, int* ifail);
  void (*outputSegment)(const int*, const int*, const int*, const int*, const double*, const int*,
                        const int*, int* ifail);
  void (*closeSegment)(const int*, const int*, const int*, const int*, const double*, const int*,
                       const int*, int* ifail);
};

}  // namespace ksample

#endif
