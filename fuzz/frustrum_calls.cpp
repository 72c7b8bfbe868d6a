// Random sequences of frustrum calls (start, stop, abort, open for writing
// and reading, write, read, close, and moving the current host stream) with
// random ids, guises, formats, keys, actions and lengths, checked call by
// call against a model of the stream table: which ids are taken, which
// streams are open, of which guise and direction, and for host-stream
// records the bytes of the current host stream, its position and the
// segment end.
#include "frustrum/MvFrustrum.h"
#include "frustrum/host_stream.h"
#include "host/MvErrorState.h"
#include "fuzz_check.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kMaxStreams = 32;
const int kGuises[] = {1, 2, 3, 4, 5, 6, 8, 9, 10};

struct Stream {
  int guise;
  int mode;  // 1 read, 2 write
  bool file;
};

struct Model {
  std::array<bool, kMaxStreams> idTaken{};
  std::map<int, Stream> open;
  // The current host stream, when there is one.
  bool hostStream = false;
  std::string bytes;
  int position = 0;
  int segmentEnd = 0;

  int lowestFreeId() const {
    for (int i = 0; i < kMaxStreams; ++i)
      if (!idTaken[i]) return i + 1;
    return 0;
  }
};

// The test's own host stream and the guard that makes it current.
struct HostStream {
  MvAutoPtr<MvMemoryStream> stream;
  std::unique_ptr<mvkm::CurrentHostStream> current;
};

void resetFrustrum() {
  int ifail = -1;
  stopFileFrustrum(&ifail);
  FUZZ_CHECK(ifail == MV_FR_OK);
  startFileFrustrum(&ifail);
  FUZZ_CHECK(ifail == MV_FR_OK);
}

std::string keyFor(FuzzedDataProvider& in, bool& hasKey) {
  switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0:
      hasKey = false;
      return "";
    case 1:
      hasKey = false;
      return std::string(1, '\0') + "ignored";
    case 2:
      hasKey = true;
      return std::string(300, 'k');
    default:
      hasKey = true;
      return fuzzing::scratchDir() + "/k" + std::to_string(in.ConsumeIntegralInRange(0, 3));
  }
}

int guiseFor(FuzzedDataProvider& in) {
  return in.ConsumeBool() ? in.PickValueInArray(kGuises) : in.ConsumeIntegral<int>();
}

void open(FuzzedDataProvider& in, Model& m, bool forWriting) {
  bool hasKey = false;
  const std::string key = keyFor(in, hasKey);
  int guise = guiseFor(in);
  // Files are only named for the known guises, inside the scratch directory.
  if (hasKey && key.size() < 256) guise = in.PickValueInArray(kGuises);
  const int format = in.ConsumeBool() ? in.ConsumeIntegralInRange(1, 2) : in.ConsumeIntegral<int>();
  const int keyLength = hasKey || !key.empty() ? static_cast<int>(key.size()) : in.ConsumeIntegralInRange(-3, 0);
  const std::string header = in.ConsumeRandomLengthString(64);
  const int headerLength = static_cast<int>(header.size());
  const int skip = in.ConsumeIntegralInRange(0, 2);
  int id = 12345;
  int ifail = -1;
  if (forWriting) {
    openWriteFrustrumFile(&guise, &format, key.c_str(), &keyLength, header.c_str(), &headerLength, &id, &ifail);
  } else {
    openReadFrustrumFile(&guise, &format, key.c_str(), &keyLength, &skip, &id, &ifail);
  }
  const int free = m.lowestFreeId();
  if (static_cast<int>(m.open.size()) >= kMaxStreams) {
    FUZZ_CHECK(ifail == MV_FR_OPEN_FAILED);
  } else if (hasKey && key.size() > 255) {
    FUZZ_CHECK(ifail == MV_FR_NAME_TOO_LONG);
  } else if (free == 0) {
    FUZZ_CHECK(ifail == MV_FR_OPEN_FAILED || (hasKey && !forWriting && ifail == MV_FR_NO_FILE));
  } else if (!hasKey || forWriting) {
    FUZZ_CHECK(ifail == MV_FR_OK);
  } else {
    // Whether a file of that name exists and what its header holds is the
    // file system's: the open succeeds or says why not.
    FUZZ_CHECK(ifail == MV_FR_OK || ifail == MV_FR_NO_FILE || ifail == MV_FR_END_OF_DATA ||
               ifail == MV_FR_READ_FAILED);
  }
  if (ifail != MV_FR_OK) {
    FUZZ_CHECK(id == -1);
    return;
  }
  FUZZ_CHECK(id == free);
  m.idTaken[id - 1] = true;
  m.open[id] = Stream{guise, forWriting ? 2 : 1, hasKey};
}

// An id that is open, or any other.
int idFor(FuzzedDataProvider& in, const Model& m) {
  if (!m.open.empty() && in.ConsumeBool()) {
    auto it = m.open.begin();
    std::advance(it, in.ConsumeIntegralInRange<size_t>(0, m.open.size() - 1));
    return it->first;
  }
  return in.ConsumeIntegralInRange(-2, 40);
}

const Stream* transferTarget(const Model& m, int id, int guise, int mode) {
  const auto it = m.open.find(id);
  if (it == m.open.end() || it->second.guise != guise || it->second.mode != mode) return nullptr;
  return &it->second;
}

void write(FuzzedDataProvider& in, Model& m) {
  const int id = idFor(in, m);
  const auto it = m.open.find(id);
  const int guise = it != m.open.end() && in.ConsumeBool() ? it->second.guise : guiseFor(in);
  const std::string data = in.ConsumeRandomLengthString(200);
  const int count = in.ConsumeBool() ? static_cast<int>(data.size()) : in.ConsumeIntegralInRange(-2, 0);
  int ifail = -1;
  writeToFrustrumFile(&guise, &id, &count, data.data(), &ifail);
  const Stream* s = transferTarget(m, id, guise, 2);
  if (count < 0 || !s) {
    FUZZ_CHECK(ifail == MV_FR_UNSPECIFIED);
  } else if (s->file) {
    FUZZ_CHECK(ifail == MV_FR_OK);
  } else if (!m.hostStream) {
    FUZZ_CHECK(ifail == MV_FR_WRITE_FAILED);
  } else {
    FUZZ_CHECK(ifail == MV_FR_OK);
    const size_t end = static_cast<size_t>(m.position) + static_cast<size_t>(count);
    if (end > m.bytes.size()) m.bytes.resize(end);
    m.bytes.replace(static_cast<size_t>(m.position), static_cast<size_t>(count), data, 0, static_cast<size_t>(count));
    m.position = static_cast<int>(end);
  }
}

void read(FuzzedDataProvider& in, Model& m) {
  const int id = idFor(in, m);
  const auto it = m.open.find(id);
  const int guise = it != m.open.end() && in.ConsumeBool() ? it->second.guise : guiseFor(in);
  const int max = in.ConsumeIntegralInRange(-1, 300);
  std::vector<char> buffer(301);
  int delivered = -1;
  int ifail = -1;
  readFromFrustrumFile(&guise, &id, &max, buffer.data(), &delivered, &ifail);
  const Stream* s = transferTarget(m, id, guise, 1);
  if (max < 1 || !s) {
    FUZZ_CHECK(ifail == MV_FR_UNSPECIFIED);
    FUZZ_CHECK(delivered == 0);
  } else if (s->file) {
    FUZZ_CHECK((ifail == MV_FR_OK && delivered >= 1 && delivered <= max) ||
               ((ifail == MV_FR_END_OF_DATA || ifail == MV_FR_READ_FAILED) && delivered == 0));
  } else if (!m.hostStream) {
    FUZZ_CHECK(ifail == MV_FR_READ_FAILED);
  } else {
    const long long available = static_cast<long long>(m.segmentEnd) - m.position;
    const int wanted = available < max ? static_cast<int>(available) : max;
    const int inStream = static_cast<int>(m.bytes.size()) - m.position;
    if (wanted < 1) {
      FUZZ_CHECK(ifail == MV_FR_END_OF_DATA);
      FUZZ_CHECK(delivered == 0);
    } else if (wanted > inStream) {
      // The stream holds less than the segment claims: a short read.
      FUZZ_CHECK(ifail == MV_FR_READ_FAILED);
      FUZZ_CHECK(delivered == 0);
      m.position += inStream;
    } else {
      FUZZ_CHECK(ifail == MV_FR_OK);
      FUZZ_CHECK(delivered == wanted);
      FUZZ_CHECK(std::memcmp(buffer.data(), m.bytes.data() + m.position, static_cast<size_t>(wanted)) == 0);
      m.position += wanted;
    }
  }
}

void close(FuzzedDataProvider& in, Model& m) {
  const int id = idFor(in, m);
  const int guise = guiseFor(in);
  const int action = in.ConsumeIntegralInRange(0, 3);
  int ifail = -1;
  closeFrustrumFile(&guise, &id, &action, &ifail);
  const auto it = m.open.find(id);
  if (it == m.open.end()) {
    FUZZ_CHECK(ifail == MV_FR_CLOSE_FAILED);
    return;
  }
  // Abandoning a file that another stream abandoned already cannot remove it.
  const bool mayFailRemoving = it->second.file && it->second.mode == 2 && action == 2;
  FUZZ_CHECK(ifail == MV_FR_OK || (mayFailRemoving && ifail == MV_FR_CLOSE_FAILED));
  m.idTaken[id - 1] = false;
  m.open.erase(it);
}

void moveHostStream(FuzzedDataProvider& in, Model& m, HostStream& h) {
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0: {
      const std::string content = in.ConsumeRandomLengthString(300);
      h.current.reset();
      h.stream = new MvMemoryStream(content.data(), static_cast<int>(content.size()));
      h.current = std::make_unique<mvkm::CurrentHostStream>(*h.stream);
      m.hostStream = true;
      m.bytes = content;
      m.position = 0;
      m.segmentEnd = 0;
      break;
    }
    case 1:
      h.current.reset();
      h.stream = nullptr;
      m.hostStream = false;
      m.segmentEnd = 0;
      break;
    default:
      if (!m.hostStream) break;
      m.segmentEnd = in.ConsumeIntegralInRange(-5, static_cast<int>(m.bytes.size()) + 5);
      mvkm::gKmStream.pos = m.segmentEnd;
      m.position = in.ConsumeIntegralInRange(0, static_cast<int>(m.bytes.size()));
      FUZZ_CHECK(h.stream->seek(m.position) == 1);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  resetFrustrum();
  MvErrorState::clear();
  Model m;
  HostStream h;
  int ifail = -1;
  while (in.remaining_bytes() > 0) {
    switch (in.ConsumeIntegralInRange(0, 9)) {
      case 0:
        startFileFrustrum(&ifail);
        FUZZ_CHECK(ifail == MV_FR_OK);
        m.idTaken.fill(false);
        for (const auto& open : m.open) m.idTaken[open.first - 1] = true;
        break;
      case 1:
        stopFileFrustrum(&ifail);
        FUZZ_CHECK(ifail == MV_FR_OK);
        // The ids stay taken until the next start.
        m.open.clear();
        break;
      case 2:
        abortFileFrustrum(&ifail);
        FUZZ_CHECK(ifail == MV_FR_OK);
        break;
      case 3:
        open(in, m, true);
        break;
      case 4:
        open(in, m, false);
        break;
      case 5:
        write(in, m);
        break;
      case 6:
        read(in, m);
        break;
      case 7:
        close(in, m);
        break;
      default:
        moveHostStream(in, m, h);
        break;
    }
    FUZZ_CHECK(mvFrustrumOpenStreamCount() == static_cast<int>(m.open.size()));
    FUZZ_CHECK(mvFrustrumHasHostStream() == (m.hostStream ? 1 : 0));
  }
  h.current.reset();
  FUZZ_CHECK(mvFrustrumHasHostStream() == 0);
  resetFrustrum();
  MvErrorState::clear();
  return 0;
}
