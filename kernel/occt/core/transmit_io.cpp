// Transmit and receive through the frustrum. The whole record is built (or
// read and checked) in memory, so that a failure half-way creates no part
// and leaves no half-written file behind.
#include <cstdlib>
#include <memory>

#include "internal.h"
#include "record.h"

namespace kocct {
namespace {

using detail::fail;

// Frustrum transfers move at most this many bytes per call.
constexpr int kBlockSize = 1 << 20;

std::string statusText(const char* what, int ifail) {
  return std::string("frustrum ") + what + " failed with status " + std::to_string(ifail);
}

bool validFormat(Format format) { return format == Format::Binary || format == Format::Text; }

bool validKey(const char* key, int keyLength) { return keyLength >= 0 && (keyLength == 0 || key != nullptr); }

// An open frustrum stream, closed with `action` when the guard goes unless
// close() has been called.
class StreamGuard {
 public:
  StreamGuard(const ksample::Frustrum& f, int streamId, int action) : _f(f), _streamId(streamId), _action(action) {}
  ~StreamGuard() {
    if (_open) close();
  }
  StreamGuard(const StreamGuard&) = delete;
  StreamGuard& operator=(const StreamGuard&) = delete;

  int close(int action) {
    _action = action;
    return close();
  }
  int close() {
    _open = false;
    int ifail = ksample::kFrUnspecified;
    _f.closeFrustrumFile(&ksample::kGuiseTransmit, &_streamId, &_action, &ifail);
    return ifail;
  }

 private:
  const ksample::Frustrum& _f;
  const int _streamId;
  int _action;
  bool _open = true;
};

int writeAll(const ksample::Frustrum& f, const detail::Record& record, const char* key, int keyLength, Format format,
             const std::string& header) {
  const int fmt = static_cast<int>(format);
  const int headerLength = static_cast<int>(header.size());
  int streamId = -1;
  int ifail = ksample::kFrUnspecified;
  f.openWriteFrustrumFile(&ksample::kGuiseTransmit, &fmt, key, &keyLength, header.c_str(), &headerLength, &streamId,
                          &ifail);
  if (ifail != ksample::kFrOk) return fail(kErrFrustrum, statusText("open for writing", ifail));
  StreamGuard stream(f, streamId, ksample::kCloseAbandon);
  for (const std::string* data : {&record.header, &record.body}) {
    for (std::size_t at = 0; at < data->size(); at += kBlockSize) {
      const int count = static_cast<int>(std::min<std::size_t>(kBlockSize, data->size() - at));
      ifail = ksample::kFrUnspecified;
      f.writeToFrustrumFile(&ksample::kGuiseTransmit, &streamId, &count, data->data() + at, &ifail);
      if (ifail != ksample::kFrOk) return fail(kErrFrustrum, statusText("write", ifail));
    }
  }
  ifail = stream.close(ksample::kCloseKeep);
  if (ifail != ksample::kFrOk) return fail(kErrFrustrum, statusText("close", ifail));
  return kOk;
}

int readAll(const ksample::Frustrum& f, const char* key, int keyLength, Format format, std::string& data) {
  const int fmt = static_cast<int>(format);
  const int skipHeader = 1;
  int streamId = -1;
  int ifail = ksample::kFrUnspecified;
  f.openReadFrustrumFile(&ksample::kGuiseTransmit, &fmt, key, &keyLength, &skipHeader, &streamId, &ifail);
  if (ifail != ksample::kFrOk) return fail(kErrFrustrum, statusText("open for reading", ifail));
  StreamGuard stream(f, streamId, ksample::kCloseKeep);
  for (;;) {
    const std::size_t at = data.size();
    data.resize(at + kBlockSize);
    int delivered = 0;
    ifail = ksample::kFrUnspecified;
    f.readFromFrustrumFile(&ksample::kGuiseTransmit, &streamId, &kBlockSize, &data[at], &delivered, &ifail);
    if (ifail == ksample::kFrEndOfData) {
      data.resize(at);
      break;
    }
    if (ifail != ksample::kFrOk) return fail(kErrFrustrum, statusText("read", ifail));
    // A read that succeeds must deliver something, or the loop would not end.
    if (delivered < 1 || delivered > kBlockSize) {
      return fail(kErrFrustrum, "frustrum read delivered " + std::to_string(delivered) + " bytes");
    }
    data.resize(at + static_cast<std::size_t>(delivered));
    if (data.size() > detail::kMaxRecordBytes) {
      return fail(kErrCorruptData, "transmit data exceeds " + std::to_string(detail::kMaxRecordBytes) + " bytes");
    }
  }
  ifail = stream.close();
  if (ifail != ksample::kFrOk) return fail(kErrFrustrum, statusText("close", ifail));
  return kOk;
}

}  // namespace

int transmit(int count, const int* tags, const char* key, int keyLength, Format format, bool writeNominalGeom) {
  detail::clearError();
  if (!validFormat(format)) return fail(kErrInvalidArgument, "invalid format");
  if (count < 0 || static_cast<unsigned>(count) > detail::kMaxRecordParts || (count > 0 && tags == nullptr)) {
    return fail(kErrInvalidArgument, "invalid part list");
  }
  if (!validKey(key, keyLength)) return fail(kErrInvalidArgument, "invalid key");
  return detail::guarded([&] {
    detail::State& s = detail::state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    if (!s.started) return fail(kErrNotStarted, "no kernel session is running");
    std::vector<const Part*> parts;
    parts.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
      const Part* p = detail::findPart(s, tags[i]);
      if (!p) return static_cast<int>(kErrNoSuchPart);
      parts.push_back(p);
    }
    const detail::Record record = detail::encodeRecord(parts, format);
    const std::string header = "KERNEL=kocct;FORMAT_VERSION=" + std::to_string(detail::kRecordVersion) +
                               ";PARTS=" + std::to_string(count) + ";NOMINAL_GEOM=" + (writeNominalGeom ? "1" : "0") +
                               ";";
    return writeAll(s.frustrum, record, key == nullptr ? "" : key, keyLength, format, header);
  });
}

int receive(const char* key, int keyLength, Format format, int& count, int*& tags) {
  detail::clearError();
  count = 0;
  tags = nullptr;
  if (!validFormat(format)) return fail(kErrInvalidArgument, "invalid format");
  if (!validKey(key, keyLength)) return fail(kErrInvalidArgument, "invalid key");
  return detail::guarded([&] {
    detail::State& s = detail::state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    if (!s.started) return fail(kErrNotStarted, "no kernel session is running");
    std::string data;
    int status = readAll(s.frustrum, key == nullptr ? "" : key, keyLength, format, data);
    if (status != kOk) return status;
    std::vector<Part> parts;
    std::string error;
    if (!detail::decodeRecord(data.data(), data.size(), format, parts, error)) return fail(kErrCorruptData, error);
    if (parts.empty()) return static_cast<int>(kOk);
    std::unique_ptr<int, void (*)(int*)> fresh(static_cast<int*>(std::malloc(parts.size() * sizeof(int))), freeTags);
    if (!fresh) return fail(kErrNoMemory, "out of memory");
    status = detail::enterParts(s, parts, fresh.get());
    if (status != kOk) return status;
    count = static_cast<int>(parts.size());
    tags = fresh.release();
    return static_cast<int>(kOk);
  });
}

void freeTags(int* tags) { std::free(tags); }

}  // namespace kocct
