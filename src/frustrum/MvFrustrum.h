/* The frustrum: the file-I/O and graphical-output entry points that the
 * kernel calls. Plain C functions; every argument is passed by address and
 * the status comes back through the last argument, ifail:
 *   0 success, 1 name too long, 2 no file to read, 4 end of data,
 *   10 cannot open, 12 write failure, 13 read failure, 14 close failure,
 *   99 unspecified failure (wrong stream id, guise or direction).
 * A non-empty key selects file mode (a kernel file with a text header); an
 * empty key selects host-stream mode (the current host object stream).
 * This header is C so that a kernel written in C can be given them. */
#ifndef MVKM_FRUSTRUM_FRUSTRUM_H
#define MVKM_FRUSTRUM_FRUSTRUM_H

#include "host/MvExport.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Guise codes. */
enum {
  MV_GUISE_ROLLBACK = 1,
  MV_GUISE_SNAPSHOT = 2,
  MV_GUISE_JOURNAL = 3,
  MV_GUISE_TRANSMIT = 4,
  MV_GUISE_XMT = 5,
  MV_GUISE_SCHEMA = 6,
  MV_GUISE_TRANSMIT_PARTITION = 8,
  MV_GUISE_TRANSMIT_DELTAS = 9,
  MV_GUISE_DEBUG_REPORT = 10
};

/* Format codes. */
enum { MV_FORMAT_BINARY = 1, MV_FORMAT_TEXT = 2 };

/* Status codes written through ifail. */
enum {
  MV_FR_OK = 0,
  MV_FR_NAME_TOO_LONG = 1,
  MV_FR_NO_FILE = 2,
  MV_FR_END_OF_DATA = 4,
  MV_FR_OPEN_FAILED = 10,
  MV_FR_WRITE_FAILED = 12,
  MV_FR_READ_FAILED = 13,
  MV_FR_CLOSE_FAILED = 14,
  MV_FR_UNSPECIFIED = 99
};

/* Frees every stream id and builds the header lines; status 0. */
MVKM_API void startFileFrustrum(int* ifail);
/* Closes every open stream's file and frees every record; status 0. */
MVKM_API void stopFileFrustrum(int* ifail);
/* Reports 0 and changes nothing: open streams stay open. */
MVKM_API void abortFileFrustrum(int* ifail);

/* Opens a stream for writing; in file mode the file gets the kernel's text
 * header carrying headerData (one line per semicolon-terminated run). */
MVKM_API void openWriteFrustrumFile(const int* guise, const int* format, const char* key,
                                    const int* keyLength, const char* headerData,
                                    const int* headerLength, int* streamId, int* ifail);
/* Opens a stream for reading; with *skipHeader == 1 a file's text header is
 * skipped. */
MVKM_API void openReadFrustrumFile(const int* guise, const int* format, const char* key,
                                   const int* keyLength, const int* skipHeader, int* streamId,
                                   int* ifail);
/* Writes *count bytes to the stream. */
MVKM_API void writeToFrustrumFile(const int* guise, const int* streamId, const int* count,
                                  const char* bytes, int* ifail);
/* Reads up to *maxCount bytes; *delivered tells how many arrived. */
MVKM_API void readFromFrustrumFile(const int* guise, const int* streamId, const int* maxCount,
                                   char* buffer, int* delivered, int* ifail);
/* Closes the stream; *action == 2 removes a file opened for writing. */
MVKM_API void closeFrustrumFile(const int* guise, const int* streamId, const int* action, int* ifail);

/* Graphical output: open and close report 0; output hands the segment to
 * the registered graphical-output callback and reports its result (-1011
 * when none is registered). */
MVKM_API void mvOpenSegment(const int* a1, const int* a2, const int* a3, const int* a4,
                            const double* a5, const int* a6, const int* a7, int* ifail);
MVKM_API void mvOutputSegment(const int* a1, const int* a2, const int* a3, const int* a4,
                              const double* a5, const int* a6, const int* a7, int* ifail);
MVKM_API void mvCloseSegment(const int* a1, const int* a2, const int* a3, const int* a4,
                             const double* a5, const int* a6, const int* a7, int* ifail);

/* Receives the library's diagnostic lines (null removes the sink). */
MVKM_API void mvSetDebugSink(void (*sink)(const char* line));

/* State queries for hosts and tests: the number of open streams, whether a
 * host stream is current, and the current segment end position. */
MVKM_API int mvFrustrumOpenStreamCount(void);
MVKM_API int mvFrustrumHasHostStream(void);
MVKM_API int mvFrustrumSegmentEnd(void);
/* The last failure that a system call caused (opening, reading, writing,
 * flushing, closing or removing a kernel file): its status, with the
 * system's error number (errno) in *osError when osError is not null. Both
 * are then forgotten, so the next call tells only of a newer failure; 0 and
 * 0 when there is none (startFileFrustrum forgets it too). */
MVKM_API int mvFrustrumLastSystemFailure(int* osError);

#ifdef __cplusplus
}
#endif

#endif
