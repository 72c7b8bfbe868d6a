// The sample solid-modelling kernel: bodies named by tags, their colours,
// transmit and receive through the host's frustrum, facets and graphical
// output. Every function is thread-safe. A failing function returns one of
// the error codes below (or 0 in place of a tag) and sets lastError() for the
// calling thread; each fallible call clears lastError() first.
#ifndef KSAMPLE_KERNEL_H
#define KSAMPLE_KERNEL_H

#include <string>

#include "ksample/frustrum.h"
#include "ksample/geometry.h"
#include "ksample/tessellation.h"
#include "ksample/transmit_format.h"

namespace ksample {

// Kernel error codes; distinct from frustrum statuses.
enum ErrorCode : int {
  kOk = 0,
  kErrNotStarted = 1001,
  kErrAlreadyStarted = 1002,
  kErrInvalidArgument = 1003,
  kErrNoSuchBody = 1004,
  kErrFrustrum = 1005,
  kErrCorruptData = 1006,
  kErrNoMemory = 1007,
  kErrNoTagsLeft = 1008
};

constexpr int kVersionMajor = 3;
constexpr int kVersionMinor = 2;

// The calling thread's last error text (at most 255 characters); empty after
// a successful call. Readable until the thread ends, also from destructors of
// the thread's thread_local objects.
std::string lastError();

// Starts a session with the given frustrum (every entry must be set) and
// calls its startFileFrustrum. Fails with kErrAlreadyStarted,
// kErrInvalidArgument (incomplete table) or kErrFrustrum.
int startSession(const Frustrum& frustrum);
// Deletes every body and calls stopFileFrustrum. Fails with kErrNotStarted
// or kErrFrustrum (the session has ended all the same).
int stopSession();

// Fills in the kernel version (kVersionMajor, kVersionMinor); returns 0.
int version(int& major, int& minor);

// New bodies. Return a new tag (positive, never reused in the process) or 0:
// kErrNotStarted, kErrInvalidArgument for a size that is not finite and
// positive or above kMaxCoordinate ("invalid body size") or a transform that
// is not rigid ("invalid transform"), kErrNoTagsLeft.
int makeBox(double dx, double dy, double dz, const Transform& xf);
int makeCylinder(double radius, double height, const Transform& xf);
int makeSphere(double radius, const Transform& xf);

// Sets the colour of one face (a negative alpha removes it). Fails with
// kErrNoSuchBody or kErrInvalidArgument (face index or colour).
int setFaceColor(int tag, int faceIndex, const Rgba& rgba);
// Sets or removes the body's own colour; same failures.
int setBodyColor(int tag, const Rgba& rgba);
int clearBodyColor(int tag);
// True and the colour when the body exists and has its own colour.
bool bodyColor(int tag, Rgba& rgba);

// Makes an independent copy; copy gets its tag (0 on failure: kErrNotStarted,
// kErrNoSuchBody, kErrNoTagsLeft).
int copyBody(int tag, int& copy);
// Deletes every listed body that exists (count 0 with a null list is
// allowed); kErrNoSuchBody names the first listed tag that did not exist,
// kErrInvalidArgument a negative count or a null list.
int deleteBodies(int count, const int* tags);
bool exists(int tag);
int bodyCount();
// True when both bodies exist and have equal kind, sizes, transform and
// colours.
bool sameBody(int tagA, int tagB);
// Face or edge count of the body, -1 (kErrNoSuchBody) when it does not exist.
int faceCount(int tag);
int edgeCount(int tag);
// A copy of the body's record; false (kErrNoSuchBody) when it does not exist.
bool bodyRecord(int tag, BodyRecord& record);

// Transmits the bodies, in list order, through the frustrum (guise 4) in
// blocks of 4096 bytes. The header data names the kernel, the format
// version, the body count and the writeNominalGeom flag, which is recorded
// there and otherwise ignored. A failure after the open abandons the stream.
// Fails with kErrNotStarted, kErrInvalidArgument (count, list or format),
// kErrNoSuchBody, kErrFrustrum or kErrNoMemory.
int transmit(int count, const int* tags, const char* key, int keyLength, Format format,
             bool writeNominalGeom = false);

// Reads transmit data through the frustrum until end of data, validates all
// of it and only then creates its bodies, in data order. tags is set to a
// std::malloc'ed array of count new tags (null when count is 0), to be given
// to freeTags. On failure count is 0, tags null and no body is created:
// kErrNotStarted, kErrInvalidArgument (format), kErrFrustrum,
// kErrCorruptData (lastError says why), kErrNoMemory, kErrNoTagsLeft.
int receive(const char* key, int keyLength, Format format, int& count, int*& tags);
// Frees an array handed out by receive; null is allowed.
void freeTags(int* tags);

// Draws the body's edges through the frustrum's segment functions:
//  openSegment(0, tag, {edgeCount}, 0, {0.0}, 0, {0}),
//  outputSegment(1, tag, {edgeIndex}, pointCount, xyz..., closed, {faceA, faceB})
//    once per edge (circles with 64 segments, closed = 1, first point
//    repeated at the end),
//  closeSegment with the open arguments.
// Returns 0, the first nonzero status of a segment call (output stops there,
// but an opened segment is always closed), or kErrNotStarted, kErrNoSuchBody,
// kErrNoMemory.
int render(int tag);

}  // namespace ksample

#endif
