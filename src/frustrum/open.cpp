// Opening streams for writing and reading: file mode with a key (file name,
// file and header), host-stream mode without one.
#include "frustrum/MvFrustrum.h"
#include "frustrum/file_transfer.h"
#include "frustrum/header.h"
#include "frustrum/naming.h"
#include "frustrum/stream_table.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <system_error>

namespace mvkm {
namespace {

// A file being opened for a stream: closed again unless a stream record
// takes it; a file that an open for writing created is removed as well,
// unless the stream is kept (a file that was there before, a device say, is
// left in place).
class PendingFile {
 public:
  explicit PendingFile(bool forWriting) : _forWriting(forWriting) {}
  ~PendingFile() {
    if (_kept) return;
    // Closed before it is removed; a record that took it has closed it.
    const bool opened = static_cast<bool>(_file) || _handedOver;
    _file.close();
    if (opened && _created) std::remove(_name);
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Opens `name` (at most 255 characters); true when it opened, else errno
  // tells why.
  bool open(const char* name, const char* mode) {
    std::error_code ignored;
    _created = _forWriting && !std::filesystem::exists(name, ignored);
    std::memcpy(_name, name, std::strlen(name) + 1);
    return _file.open(name, mode);
  }
  const char* name() const { return _name; }
  // The record owns the file from now on.
  void handTo(FrustrumStream& stream) {
    stream.file = std::move(_file);
    _handedOver = true;
  }
  // The stream is open: its file stays.
  void keep() { _kept = true; }

 private:
  StreamFile _file;
  bool _forWriting;
  bool _created = false;
  bool _handedOver = false;
  bool _kept = false;
  char _name[kNameBytes] = {};
};

// Creates the record for an opened file, hands it the file and lets
// `prepare` write or skip the header; a failing header drops the record
// again, which closes the file. 0 with the id in `streamId`, or the failure.
template <class Prepare>
int adoptFile(PendingFile& pending, int guise, int format, int mode, const char* key, int& streamId,
              Prepare prepare) {
  FrustrumStream* stream = nullptr;
  int status = createStream(guise, format, mode, pending.name(), key, stream);
  if (status != MV_FR_OK) return status;
  pending.handTo(*stream);
  status = prepare(*stream);
  if (status != MV_FR_OK) {
    unlinkStream(stream);
    return status;
  }
  pending.keep();
  streamId = stream->id;
  return MV_FR_OK;
}

int openHostStreamRecord(int guise, int format, int mode, int& streamId) {
  FrustrumStream* stream = nullptr;
  const int status = createStream(guise, format, mode, "", "", stream);
  if (status == MV_FR_OK) streamId = stream->id;
  return status;
}

int openForWriting(int guise, int format, const char* key, int keyLength, const char* headerData,
                   int headerLength, int& streamId) {
  if (openStreamCount() >= kMaxStreams) return MV_FR_OPEN_FAILED;
  if (!hasKey(key, keyLength)) return openHostStreamRecord(guise, format, kModeWrite, streamId);
  // A negative header length holds no data: the header's scan runs no times.
  if (headerLength < 0) headerLength = 0;
  if (headerLength > 0 && !headerData) return MV_FR_UNSPECIFIED;

  char keyText[kNameBytes];
  int status = copyKey(key, keyLength, keyText);
  if (status != MV_FR_OK) return status;
  char base[kNameBytes];
  std::memcpy(base, keyText, sizeof base);
  if (guise == MV_GUISE_SCHEMA) placeInSchemaDirectory(base);
  char name[kNameBytes];
  status = composeFileName(base, guise, format, NameForm::kShort, suffixWhenWriting(guise), name);
  if (status != MV_FR_OK) return status;

  // Every format is written in binary mode, so a line feed is one byte.
  PendingFile pending(true);
  if (!pending.open(name, "wb")) return systemFailure(MV_FR_OPEN_FAILED);
  // The header goes to the file at once: a file that cannot take it fails
  // the open (and is removed), not a later write or close.
  return adoptFile(pending, guise, format, kModeWrite, keyText, streamId, [&](FrustrumStream& s) -> int {
    const int status = writeHeader(s, headerData, headerLength);
    if (status != MV_FR_OK) return status;
    if (std::fflush(s.file.get()) != 0) return systemFailure(MV_FR_WRITE_FAILED);
    s.file.alignWrites();
    return MV_FR_OK;
  });
}

// Opens `base` under its short name, else under its long name: 0 with the
// file in `pending`, 1 when a name is too long, 2 when neither opens.
int openCandidates(const char* base, int guise, int format, PendingFile& pending) {
  for (NameForm form : {NameForm::kShort, NameForm::kLong}) {
    char name[kNameBytes];
    const int status = composeFileName(base, guise, format, form, suffixWhenReading(guise), name);
    if (status != MV_FR_OK) return status;
    if (pending.open(name, formatReadMode(format))) return MV_FR_OK;
  }
  return systemFailure(MV_FR_NO_FILE);
}

// Opens the file of a key: schema keys are looked for in lower case in the
// schema directory.
int openKeyFile(const char* keyText, int guise, int format, PendingFile& pending) {
  if (guise != MV_GUISE_SCHEMA) return openCandidates(keyText, guise, format, pending);
  char lowered[kNameBytes];
  std::memcpy(lowered, keyText, sizeof lowered);
  lowerCase(lowered);
  placeInSchemaDirectory(lowered);
  int status = openCandidates(lowered, guise, format, pending);
#if !defined(_WIN32)
  // File names are case-sensitive here, and a schema is written under its
  // key as given: look for that name too.
  if (status == MV_FR_NO_FILE) {
    char asGiven[kNameBytes];
    std::memcpy(asGiven, keyText, sizeof asGiven);
    placeInSchemaDirectory(asGiven);
    if (std::strcmp(asGiven, lowered) != 0) status = openCandidates(asGiven, guise, format, pending);
  }
#endif
  return status;
}

int openForReading(int guise, int format, const char* key, int keyLength, bool skip, int& streamId) {
  if (openStreamCount() >= kMaxStreams) return MV_FR_OPEN_FAILED;
  if (!hasKey(key, keyLength)) return openHostStreamRecord(guise, format, kModeRead, streamId);

  char keyText[kNameBytes];
  int status = copyKey(key, keyLength, keyText);
  if (status != MV_FR_OK) return status;
  PendingFile pending(false);
  status = openKeyFile(keyText, guise, format, pending);
  if (status != MV_FR_OK) return status;
  return adoptFile(pending, guise, format, kModeRead, keyText, streamId,
                   [&](const FrustrumStream& s) { return skip ? skipHeader(s) : MV_FR_OK; });
}

}  // namespace
}  // namespace mvkm

extern "C" {

MVKM_API void openWriteFrustrumFile(const int* guise, const int* format, const char* key,
                                    const int* keyLength, const char* headerData,
                                    const int* headerLength, int* streamId, int* ifail) {
  if (!ifail) return;
  *ifail = MV_FR_UNSPECIFIED;
  if (!streamId) return;
  *streamId = -1;
  if (!guise || !format || !keyLength || !headerLength || (*keyLength > 0 && !key)) return;
  *ifail = mvkm::openForWriting(*guise, *format, key, *keyLength, headerData, *headerLength, *streamId);
}

MVKM_API void openReadFrustrumFile(const int* guise, const int* format, const char* key,
                                   const int* keyLength, const int* skipHeader, int* streamId,
                                   int* ifail) {
  if (!ifail) return;
  *ifail = MV_FR_UNSPECIFIED;
  if (!streamId) return;
  *streamId = -1;
  if (!guise || !format || !keyLength || !skipHeader || (*keyLength > 0 && !key)) return;
  *ifail = mvkm::openForReading(*guise, *format, key, *keyLength, *skipHeader == 1, *streamId);
}

}  // extern "C"
