// Moving the kernel's data through an open stream, and closing it.
#include "frustrum/MvFrustrum.h"
#include "frustrum/file_transfer.h"
#include "frustrum/host_stream.h"
#include "frustrum/stream_table.h"

#include <cstdio>
#include <cstring>

namespace mvkm {
namespace {

constexpr int kAbandonFile = 2;

// The stream a read or write goes to: open under this id, of this guise and
// opened this way; null when the call is to be refused.
FrustrumStream* transferStream(int guise, int id, int mode) {
  FrustrumStream* s = findStream(id);
  return s && s->guise == guise && s->mode == mode ? s : nullptr;
}

int writeStream(FrustrumStream& s, const char* bytes, int count) {
  if (!s.file) return hostStreamWrite(bytes, count);
  const int status = s.file.write(bytes, count);
  if (status != MV_FR_OK || s.guise != MV_GUISE_JOURNAL) return status;
  // A journal on disk is complete after every write; a flush that fails has
  // not written the data.
  return std::fflush(s.file.get()) == 0 ? MV_FR_OK : systemFailure(MV_FR_WRITE_FAILED);
}

int readStream(const FrustrumStream& s, char* buffer, int count, int& delivered) {
  if (!s.file) return hostStreamRead(buffer, count, delivered);
  // A read of 0 bytes delivers nothing, as a host-stream read does: end of
  // data, not a read failure, and no read is tried.
  if (count == 0) return MV_FR_END_OF_DATA;
  return fileRead(s.file.get(), buffer, count, delivered);
}

int closeStream(int id, int action) {
  FrustrumStream* s = findStream(id);
  if (!s) return MV_FR_CLOSE_FAILED;
  // Only a file this stream wrote is abandoned; a host-stream record has no
  // file, so there is nothing to remove.
  const bool abandon = s->mode == kModeWrite && action == kAbandonFile && s->file;
  char name[kNameBytes];
  std::memcpy(name, s->name, sizeof name);
  // The record goes even when fclose fails: its handle is no longer valid.
  int status = s->file.close() ? MV_FR_OK : systemFailure(MV_FR_CLOSE_FAILED);
  unlinkStream(s);
  // An abandoned file goes even when its close failed: the kernel gave it up.
  if (abandon && std::remove(name) != 0 && status == MV_FR_OK) status = systemFailure(MV_FR_CLOSE_FAILED);
  return status;
}

}  // namespace
}  // namespace mvkm

extern "C" {

MVKM_API void writeToFrustrumFile(const int* guise, const int* streamId, const int* count,
                                  const char* bytes, int* ifail) {
  if (!ifail) return;
  *ifail = MV_FR_UNSPECIFIED;
  if (!guise || !streamId || !count || *count < 0 || (*count > 0 && !bytes)) return;
  mvkm::FrustrumStream* s = mvkm::transferStream(*guise, *streamId, mvkm::kModeWrite);
  if (!s) return;
  *ifail = mvkm::writeStream(*s, bytes, *count);
}

MVKM_API void readFromFrustrumFile(const int* guise, const int* streamId, const int* maxCount,
                                   char* buffer, int* delivered, int* ifail) {
  if (!ifail) return;
  *ifail = MV_FR_UNSPECIFIED;
  if (!delivered) return;
  *delivered = 0;
  // A read asks for at least one byte.
  if (!guise || !streamId || !maxCount || *maxCount < 0 || !buffer) return;
  const mvkm::FrustrumStream* s = mvkm::transferStream(*guise, *streamId, mvkm::kModeRead);
  if (!s) return;
  int n = 0;
  *ifail = mvkm::readStream(*s, buffer, *maxCount, n);
  *delivered = n;
}

MVKM_API void closeFrustrumFile(const int* /*guise*/, const int* streamId, const int* action, int* ifail) {
  if (!ifail) return;
  *ifail = MV_FR_UNSPECIFIED;
  if (!streamId || !action) return;
  *ifail = mvkm::closeStream(*streamId, *action);
}

}  // extern "C"
