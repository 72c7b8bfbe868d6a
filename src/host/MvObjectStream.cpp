#include "host/MvObjectStream.h"

#include "host/detail/stream_report.h"

#include <cstdint>

using mv_detail::streamFailure;

namespace {

constexpr int kGuidBytes = 16;

// Makes `end` the record end that recordBytesLeft() measures against while
// an object reads itself; the outer record's end comes back afterwards, so
// objects that read objects nest.
class RecordScope {
 public:
  RecordScope(int& recordEnd, int end) : _recordEnd(recordEnd), _outer(recordEnd) { _recordEnd = end; }
  ~RecordScope() { _recordEnd = _outer; }
  RecordScope(const RecordScope&) = delete;
  RecordScope& operator=(const RecordScope&) = delete;

 private:
  int& _recordEnd;
  int _outer;
};

}  // namespace

void MvObjectStream::excludeFromChecksum(int /*start*/, int /*length*/) {}

int MvObjectStream::recordBytesLeft() {
  int pos = 0;
  if (_recordEnd < 0 || !getPosition(pos)) return -1;
  return pos < _recordEnd ? _recordEnd - pos : 0;
}

unsigned MvObjectStream::write(int value) {
  const uint32_t v = static_cast<uint32_t>(value);
  const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                         static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
  if (!writeBytes(bytes, 4)) {
    MvErrorState::rethrowError();
    return 0;
  }
  return 1;
}

unsigned MvObjectStream::read(int& value) {
  unsigned char bytes[4];
  int nRead = 0;
  if (!readBytes(reinterpret_cast<char*>(bytes), 4, nRead)) {
    MvErrorState::rethrowError();
    return 0;
  }
  const uint32_t v = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                     (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  value = static_cast<int>(v);
  return 1;
}

bool MvObjectStream::atEnd() {
  int pos = 0;
  int size = 0;
  if (!getPosition(pos) || !getSize(size)) return true;
  return pos >= size;
}

unsigned MvObjectStream::writeObject(const MvBase* obj) {
  static const char kNullGuid[kGuidBytes] = {};
  if (!obj) {
    if (!writeBytes(kNullGuid, kGuidBytes) || !write(0)) {
      MvErrorState::rethrowError();
      return 0;
    }
    ++_objects;
    return 1;
  }
  if (!obj->isStreamable()) return streamFailure("writeObject", "obj->isStreamable()");

  const MvGUID& guid = obj->typeGUID();
  int recordStart = 0;
  if (!writeBytes(reinterpret_cast<const char*>(guid.bytes()), kGuidBytes) || !write(0) ||
      !getPosition(recordStart)) {
    MvErrorState::rethrowError();
    return 0;
  }
  if (!obj->serialize(*this)) {
    MvErrorState::rethrowError();
    return 0;
  }
  int recordEnd = 0;
  if (!getPosition(recordEnd)) {
    MvErrorState::rethrowError();
    return 0;
  }
  if (recordEnd < recordStart) {
    return streamFailure("writeObject", "record end >= record start after serialize()");
  }
  if (!seek(recordStart - 4) || !write(recordEnd - recordStart) || !seek(recordEnd)) {
    MvErrorState::rethrowError();
    return 0;
  }
  ++_objects;
  return 1;
}

unsigned MvObjectStream::readObject(MvAutoPtr<MvBase>& out) {
  out = nullptr;
  _lastUnread = 0;
  char guidBytes[kGuidBytes];
  int nRead = 0;
  int length = 0;
  int recordStart = 0;
  int size = 0;
  if (!readBytes(guidBytes, kGuidBytes, nRead) || !read(length) || !getPosition(recordStart) ||
      !getSize(size)) {
    MvErrorState::rethrowError();
    return 0;
  }
  // Checked in 64 bits: a length near 2^31 must not wrap the end position.
  const long long recordEnd = static_cast<long long>(recordStart) + length;
  if (length < 0 || recordEnd > size) {
    // Nothing after a record with a bad length can be trusted: the stream is
    // left at its end so that a reading loop stops.
    seek(size);
    return streamFailure("readObject", "0 <= length && record within stream");
  }
  const int end = static_cast<int>(recordEnd);

  _MvIID iid;
  for (int i = 0; i < kGuidBytes; ++i) iid.bytes[i] = static_cast<unsigned char>(guidBytes[i]);
  const MvGUID guid(iid);
  if (guid.isNull()) {
    if (length == 0) {
      ++_objects;
      return 1;
    }
    seek(end);
    return streamFailure("readObject", "length == 0 for a null object");
  }

  if (!MvType::find(guid)) {
    seek(end);
    return streamFailure("readObject", "type registered for GUID");
  }
  MvAutoPtr<MvBase> obj = MvType::createInstance(guid);
  if (!obj) {
    seek(end);
    return streamFailure("readObject", "Allocation failed: obj = MvType::createInstance(guid)",
                         MvErrorState::kAllocation);
  }
  unsigned read = 0;
  {
    RecordScope scope(_recordEnd, end);
    read = obj->deserialize(*this);
  }
  if (!read) {
    MvErrorState::rethrowError();
    seek(end);
    return 0;
  }
  int after = 0;
  if (!getPosition(after)) {
    MvErrorState::rethrowError();
    seek(end);
    return 0;
  }
  if (after > end) {
    seek(end);
    return streamFailure("readObject", "object read within its record");
  }
  if (!seek(end)) {
    MvErrorState::rethrowError();
    return 0;
  }
  _lastUnread = end - after;
  ++_objects;
  out = obj;
  return 1;
}
