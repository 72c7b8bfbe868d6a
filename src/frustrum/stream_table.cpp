#include "frustrum/stream_table.h"

#include "frustrum/MvFrustrum.h"
#include "frustrum/file_transfer.h"
#include "host/MvHeap.h"

#include <cstring>
#include <new>

namespace mvkm {
namespace {

// Entry i holds i+1 while stream id i+1 is in use, 0 while it is free.
int gStreamIds[kMaxStreams];
FrustrumStream* gHead = nullptr;
int gOpenCount = 0;

FrustrumStream* tail() {
  FrustrumStream* s = gHead;
  while (s && s->next) s = s->next;
  return s;
}

// The lowest free stream id, taken; 0 when every id is in use. Ids are only
// freed by a close or by start, so after a stop without a following start
// the table can be full while no stream is open.
int takeLowestFreeId() {
  for (int i = 0; i < kMaxStreams; ++i) {
    if (gStreamIds[i] == 0) {
      gStreamIds[i] = i + 1;
      return i + 1;
    }
  }
  return 0;
}

void copyName(char (&to)[kNameBytes], const char* from) {
  std::strncpy(to, from, kMaxNameLength);
  to[kMaxNameLength] = '\0';
}

}  // namespace

int createStream(int guise, int format, int mode, const char* name, const char* key, FrustrumStream*& out) {
  void* block = MvHeap::allocate(sizeof(FrustrumStream));
  if (!block) return MV_FR_OPEN_FAILED;
  const int id = takeLowestFreeId();
  if (id == 0) {
    MvHeap::release(block);
    return MV_FR_OPEN_FAILED;
  }
  FrustrumStream* s = new (block) FrustrumStream{};
  s->prev = tail();
  s->next = nullptr;
  if (s->prev) {
    s->prev->next = s;
  } else {
    gHead = s;
  }
  s->id = id;
  s->guise = guise;
  s->format = format;
  s->mode = mode;
  copyName(s->name, name);
  copyName(s->key, key);
  ++gOpenCount;
  out = s;
  return MV_FR_OK;
}

FrustrumStream* findStream(int id) {
  for (FrustrumStream* s = gHead; s; s = s->next) {
    if (s->id == id) return s;
  }
  return nullptr;
}

void unlinkStream(FrustrumStream* stream) {
  if (stream->id >= 1 && stream->id <= kMaxStreams) gStreamIds[stream->id - 1] = 0;
  if (stream->prev) {
    stream->prev->next = stream->next;
  } else {
    gHead = stream->next;
  }
  if (stream->next) stream->next->prev = stream->prev;
  stream->~FrustrumStream();
  MvHeap::release(stream);
  --gOpenCount;
}

int openStreamCount() { return gOpenCount; }

}  // namespace mvkm

extern "C" {

MVKM_API void startFileFrustrum(int* ifail) {
  if (ifail) *ifail = MV_FR_UNSPECIFIED;
  // Ids of streams still open stay taken, so that no two open streams share
  // an id.
  std::memset(mvkm::gStreamIds, 0, sizeof mvkm::gStreamIds);
  mvkm::forgetSystemFailure();
  for (const mvkm::FrustrumStream* s = mvkm::gHead; s; s = s->next) mvkm::gStreamIds[s->id - 1] = s->id;
  if (ifail) *ifail = MV_FR_OK;
}

MVKM_API void stopFileFrustrum(int* ifail) {
  if (ifail) *ifail = MV_FR_UNSPECIFIED;
  mvkm::releaseLineBuffer();
  mvkm::FrustrumStream* s = mvkm::gHead;
  while (s) {
    mvkm::FrustrumStream* next = s->next;
    // The record closes its file; stop has no status for a failed close.
    s->~FrustrumStream();
    MvHeap::release(s);
    s = next;
  }
  mvkm::gHead = nullptr;
  mvkm::gOpenCount = 0;
  if (ifail) *ifail = MV_FR_OK;
}

MVKM_API void abortFileFrustrum(int* ifail) {
  if (ifail) *ifail = MV_FR_OK;
}

}  // extern "C"
