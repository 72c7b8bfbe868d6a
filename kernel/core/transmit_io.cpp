// Transmit and receive through the frustrum: the whole of the data is built
// (or read and checked) in memory, so that a failure half-way creates no
// body and leaves no half-written file behind.
#include <cstdlib>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "body_table.h"
#include "errors.h"
#include "ksample/kernel.h"

namespace ksample {
namespace {

constexpr int kBlockSize = 4096;

std::string statusText(const char* what, int ifail) {
  return std::string("frustrum ") + what + " failed with status " + std::to_string(ifail);
}

bool validFormat(Format format) { return format == Format::Binary || format == Format::Text; }

bool validKey(const char* key, int keyLength) {
  return keyLength >= 0 && (keyLength == 0 || key != nullptr);
}

// An open frustrum stream; closed with `action` when the guard goes unless
// close() has been called.
class StreamGuard {
 public:
  StreamGuard(const Frustrum& f, int streamId, int action)
      : f_(f), streamId_(streamId), action_(action) {}
  ~StreamGuard() {
    if (open_) close();
  }
  StreamGuard(const StreamGuard&) = delete;
  StreamGuard& operator=(const StreamGuard&) = delete;

  int close(int action) {
    action_ = action;
    return close();
  }
  int close() {
    open_ = false;
    int ifail = kFrUnspecified;
    f_.closeFrustrumFile(&kGuiseTransmit, &streamId_, &action_, &ifail);
    return ifail;
  }

 private:
  const Frustrum& f_;
  const int streamId_;
  int action_;
  bool open_ = true;
};

// Copies the listed bodies' records; false with kErrNoSuchBody set.
bool collect(int count, const int* tags, std::vector<BodyRecord>& records) {
  detail::BodyTable& t = detail::table();
  std::lock_guard<std::mutex> lock(t.mutex);
  records.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const auto it = t.bodies.find(tags[i]);
    if (it == t.bodies.end()) {
      detail::fail(kErrNoSuchBody, detail::noSuchBody(tags[i]));
      return false;
    }
    records.push_back(it->second);
  }
  return true;
}

int writeAll(const Frustrum& f, const std::string& data, const char* key, int keyLength,
             Format format, const std::string& header) {
  const int guise = kGuiseTransmit;
  const int fmt = static_cast<int>(format);
  const int headerLength = static_cast<int>(header.size());
  int streamId = -1;
  int ifail = kFrUnspecified;
  f.openWriteFrustrumFile(&guise, &fmt, key, &keyLength, header.c_str(), &headerLength, &streamId,
                          &ifail);
  if (ifail != kFrOk) return detail::fail(kErrFrustrum, statusText("open for writing", ifail));
  StreamGuard stream(f, streamId, kCloseAbandon);
  for (std::size_t at = 0; at < data.size(); at += kBlockSize) {
    const int count = static_cast<int>(std::min<std::size_t>(kBlockSize, data.size() - at));
    ifail = kFrUnspecified;
    f.writeToFrustrumFile(&guise, &streamId, &count, data.data() + at, &ifail);
    if (ifail != kFrOk) return detail::fail(kErrFrustrum, statusText("write", ifail));
  }
  ifail = stream.close(kCloseKeep);
  if (ifail != kFrOk) return detail::fail(kErrFrustrum, statusText("close", ifail));
  return kOk;
}

int readAll(const Frustrum& f, const char* key, int keyLength, Format format, std::string& data) {
  const int guise = kGuiseTransmit;
  const int fmt = static_cast<int>(format);
  const int skipHeader = 1;
  int streamId = -1;
  int ifail = kFrUnspecified;
  f.openReadFrustrumFile(&guise, &fmt, key, &keyLength, &skipHeader, &streamId, &ifail);
  if (ifail != kFrOk) return detail::fail(kErrFrustrum, statusText("open for reading", ifail));
  StreamGuard stream(f, streamId, kCloseKeep);
  std::vector<char> block(kBlockSize);
  for (;;) {
    int delivered = 0;
    ifail = kFrUnspecified;
    f.readFromFrustrumFile(&guise, &streamId, &kBlockSize, block.data(), &delivered, &ifail);
    if (ifail == kFrEndOfData) break;
    if (ifail != kFrOk) return detail::fail(kErrFrustrum, statusText("read", ifail));
    // A read that succeeds must deliver something, or the loop would not end.
    if (delivered < 1 || delivered > kBlockSize) {
      return detail::fail(kErrFrustrum,
                          "frustrum read delivered " + std::to_string(delivered) + " bytes");
    }
    if (data.size() > kMaxTransmitBytes - static_cast<std::size_t>(delivered)) {
      return detail::fail(kErrCorruptData,
                          "transmit data exceeds " + std::to_string(kMaxTransmitBytes) + " bytes");
    }
    data.append(block.data(), static_cast<std::size_t>(delivered));
  }
  ifail = stream.close();
  if (ifail != kFrOk) return detail::fail(kErrFrustrum, statusText("close", ifail));
  return kOk;
}

// Enters all records under new tags, or none of them.
int addAll(std::vector<BodyRecord>& records, int* tags) {
  detail::BodyTable& t = detail::table();
  std::lock_guard<std::mutex> lock(t.mutex);
  if (!t.started) return detail::fail(kErrNotStarted, "no kernel session is running");
  if (!detail::tagsLeft(t, static_cast<std::int64_t>(records.size()))) {
    return detail::fail(kErrNoTagsLeft, "no tags left");
  }
  std::map<int, BodyRecord> fresh;
  for (std::size_t i = 0; i < records.size(); ++i) {
    tags[i] = static_cast<int>(t.nextTag + static_cast<std::int64_t>(i));
    fresh.emplace(tags[i], std::move(records[i]));
  }
  t.bodies.merge(fresh);
  t.nextTag += static_cast<std::int64_t>(records.size());
  return kOk;
}

int receiveBodies(const char* key, int keyLength, Format format, int& count, int*& tags) {
  Frustrum f{};
  if (!detail::sessionFrustrum(f)) return kErrNotStarted;
  std::string data;
  {
    std::lock_guard<std::recursive_mutex> io(detail::frustrumMutex());
    const int status = readAll(f, key, keyLength, format, data);
    if (status != kOk) return status;
  }
  std::vector<BodyRecord> records;
  std::string error;
  if (!parseTransmit(data.data(), data.size(), format, records, error)) {
    return detail::fail(kErrCorruptData, error);
  }
  if (records.empty()) return kOk;
  int* fresh = static_cast<int*>(std::malloc(records.size() * sizeof(int)));
  if (fresh == nullptr) return detail::fail(kErrNoMemory, "out of memory");
  const int status = addAll(records, fresh);
  if (status != kOk) {
    std::free(fresh);
    return status;
  }
  count = static_cast<int>(records.size());
  tags = fresh;
  return kOk;
}

}  // namespace

int transmit(int count, const int* tags, const char* key, int keyLength, Format format,
             bool writeNominalGeom) {
  detail::clearError();
  if (!validFormat(format)) return detail::fail(kErrInvalidArgument, "invalid format");
  if (count < 0 || static_cast<unsigned>(count) > kMaxTransmitBodies ||
      (count > 0 && tags == nullptr)) {
    return detail::fail(kErrInvalidArgument, "invalid body list");
  }
  if (!validKey(key, keyLength)) return detail::fail(kErrInvalidArgument, "invalid key");
  Frustrum f{};
  if (!detail::sessionFrustrum(f)) return kErrNotStarted;
  try {
    std::vector<BodyRecord> records;
    if (!collect(count, tags, records)) return kErrNoSuchBody;
    const std::string data = encodeTransmit(records, format);
    const std::string header =
        "KERNEL=ksample;FORMAT_VERSION=" + std::to_string(kTransmitFormatVersion) +
        ";BODIES=" + std::to_string(count) + ";NOMINAL_GEOM=" + (writeNominalGeom ? "1" : "0") +
        ";";
    std::lock_guard<std::recursive_mutex> io(detail::frustrumMutex());
    return writeAll(f, data, key == nullptr ? "" : key, keyLength, format, header);
  } catch (const std::bad_alloc&) {
    return detail::fail(kErrNoMemory, "out of memory");
  }
}

int receive(const char* key, int keyLength, Format format, int& count, int*& tags) {
  detail::clearError();
  count = 0;
  tags = nullptr;
  if (!validFormat(format)) return detail::fail(kErrInvalidArgument, "invalid format");
  if (!validKey(key, keyLength)) return detail::fail(kErrInvalidArgument, "invalid key");
  try {
    return receiveBodies(key == nullptr ? "" : key, keyLength, format, count, tags);
  } catch (const std::bad_alloc&) {
    return detail::fail(kErrNoMemory, "out of memory");
  }
}

void freeTags(int* tags) { std::free(tags); }

}  // namespace ksample
